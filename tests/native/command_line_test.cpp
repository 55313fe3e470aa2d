#include <gtest/gtest.h>

#include "app/command_line.h"

namespace {

CommandLine Parse(const std::vector<const char16_t*>& words)
{
    std::vector<CString> arguments;
    for (const char16_t* word : words)
        arguments.emplace_back(word);
    return ParseCommandLine(arguments);
}

}  // namespace

TEST(CommandLine, ReadsEverySwitchWithEitherPrefixInAnyCase)
{
    const CommandLine none = Parse({});
    EXPECT_FALSE(none.silent || none.help || none.reportPath || none.jsonPath);
    EXPECT_TRUE(none.error.empty());

    const CommandLine all = Parse({u"/SILENT", u"-Report", u"\\\\srv\\share\\PC 1.vkh", u"/json", u"-", u"-?"});
    EXPECT_TRUE(all.error.empty()) << ToUtf8(all.error);
    EXPECT_TRUE(all.silent);
    EXPECT_TRUE(all.help);
    EXPECT_EQ(all.reportPath, CString(u"\\\\srv\\share\\PC 1.vkh"));
    EXPECT_EQ(all.jsonPath, CString(u"-"));

    // Given twice, the last value wins; a PATH may itself look like a switch.
    const CommandLine twice = Parse({u"/report", u"a.vkh", u"/REPORT", u"b.vkh", u"/json", u"/silent"});
    EXPECT_EQ(twice.reportPath, CString(u"b.vkh"));
    EXPECT_EQ(twice.jsonPath, CString(u"/silent"));
    EXPECT_FALSE(twice.silent);
}

TEST(CommandLine, NamesWhatIsWrong)
{
    // A vector, not an initializer_list: the array behind a list held in a pair ends with the pair's
    // initialisation, so every case would read freed stack.
    const std::pair<std::vector<const char16_t*>, const char16_t*> cases[] = {
        {{u"/report"}, u"/report needs a PATH."},
        {{u"/silent", u"-JSON"}, u"-JSON needs a PATH."},
        {{u"/json", u""}, u"/json needs a PATH."},
        {{u"/quiet"}, u"Unknown switch \"/quiet\"."},
        {{u"/silent", u"--silent"}, u"Unknown switch \"--silent\"."},
        {{u"report.vkh"}, u"Unexpected argument \"report.vkh\"."},
        {{u"-"}, u"Unexpected argument \"-\"."},
        {{u""}, u"Unexpected argument \"\"."},
        {{u"/"}, u"Unexpected argument \"/\"."},
    };
    for (const auto& [words, message] : cases) {
        const CommandLine line = Parse(words);
        EXPECT_EQ(ToUtf8(line.error), ToUtf8(message));
    }
    // A switch before the mistake still counts, so /silent with a bad switch stays silent.
    EXPECT_TRUE(Parse({u"/silent", u"/x"}).silent);
    // Long and odd arguments are only text.
    const CString huge(100000, u'x');
    EXPECT_EQ(ParseCommandLine({u"/report", huge}).reportPath, huge);
    EXPECT_FALSE(ParseCommandLine({CString(u"/\xD800%s%n")}).error.empty());
}

TEST(CommandLine, EachOutcomeHasItsExitCode)
{
    EXPECT_EQ(ExitCode(RunOutcome::AllPass), 0);
    EXPECT_EQ(ExitCode(RunOutcome::SomeFail), 1);
    EXPECT_EQ(ExitCode(RunOutcome::CheckCouldNotRun), 2);
    EXPECT_EQ(ExitCode(RunOutcome::OutputIncomplete), 3);
    EXPECT_EQ(ExitCode(RunOutcome::BadCommandLine), 87);
}
