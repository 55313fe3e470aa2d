#include <gtest/gtest.h>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>

#include "framework/owners.h"
#endif

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

    // Given twice, the last value wins; a PATH may start like a switch that is none.
    const CommandLine twice = Parse({u"/report", u"a.vkh", u"/REPORT", u"b.vkh", u"/json", u"/tmp/r.json"});
    EXPECT_TRUE(twice.error.empty()) << ToUtf8(twice.error);
    EXPECT_EQ(twice.reportPath, CString(u"b.vkh"));
    EXPECT_EQ(twice.jsonPath, CString(u"/tmp/r.json"));

    const CommandLine line = Parse({u"/silent", u"/line:255", u"-", u"/skip", u"username"});
    EXPECT_TRUE(line.error.empty()) << ToUtf8(line.error);
    EXPECT_EQ(line.linePath, CString(u"-"));
    EXPECT_EQ(line.lineLimit, 255u);
    EXPECT_EQ(Parse({u"/silent", u"/line:255", u"a", u"/line", u"b"}).lineLimit, kLineLimit) << "the last /line holds";
    EXPECT_TRUE(line.skipped[kItemUserName]);
    EXPECT_EQ(std::count(line.skipped.begin(), line.skipped.end(), true), 1);
}

// Fleet tools quote paths with blanks and end folders with a backslash before the closing quote; the
// examples are Microsoft's own for CommandLineToArgvW, and under Wine each line is split by shell32
// too, which must agree.
TEST(CommandLine, SplitsTheLineAsShellDoes)
{
    const std::pair<const char16_t*, std::vector<CString>> cases[] = {
        {u"Quor-kelvra.exe", {}},
        {u"\"C:\\Program Files\\Quor-kelvra.exe\"", {}},
        {u"\"C:\\a b\\q.exe\"/silent   /json\t-", {u"/silent", u"/json", u"-"}},
        {u"q.exe \"abc\" d e", {u"abc", u"d", u"e"}},
        {u"q.exe a\\\\\\b d\"e f\"g h", {u"a\\\\\\b", u"de fg", u"h"}},
        {u"q.exe a\\\\\\\"b c d", {u"a\\\"b", u"c", u"d"}},
        {u"q.exe a\\\\\\\\\"b c\" d e", {u"a\\\\b c", u"d", u"e"}},
        // Unlike the C runtime since 2008: a doubled quote ends the quoted part.
        {u"q.exe a\"b\"\" c d", {u"ab\"", u"c", u"d"}},
        {u"q.exe /report \"\\\\srv\\share\\PC 1.vkh\" /json \"D:\\out dir\\\\\"", {u"/report", u"\\\\srv\\share\\PC 1.vkh", u"/json", u"D:\\out dir\\"}},
        {u"q.exe \"\" x \"\"\"\"\"\" \"open", {u"", u"x", u"\"\"", u"open"}},
        {u"q.exe \"unclosed", {u"unclosed"}},
    };
    for (const auto& [line, words] : cases) {
        EXPECT_EQ(CommandLineWords(line), words) << ToUtf8(line);
#ifdef _WIN32
        int count = 0;
        LPWSTR* shell = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(line), &count);
        ASSERT_NE(shell, nullptr);
        const LocalMemory owner(shell);
        std::vector<CString> shellWords;
        for (int i = 1; i < count; ++i)
            shellWords.emplace_back(reinterpret_cast<const char16_t*>(shell[i]));
        EXPECT_EQ(CommandLineWords(line), shellWords) << ToUtf8(line);
#endif
    }
}

TEST(CommandLine, NamesWhatIsWrong)
{
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
        // A known switch where the PATH should be: the PATH was left out, or its variable empty.
        {{u"/report", u"/silent"}, u"/report needs a PATH."},
        {{u"/json", u"-REPORT", u"r.vkh"}, u"/json needs a PATH."},
        {{u"/report", u"-?"}, u"/report needs a PATH."},
        {{u"/report", u"/Json", u"x"}, u"/report needs a PATH."},
        {{u"/report", u"C:\\out\" /silent"},
         u"The PATH after /report holds a double quote, which no file name can: \"C:\\out\" /silent\". A "
         u"backslash just before a closing quote escapes it; end a folder's name without its last backslash."},
        {{u"/report", u"r.vkh", u"/json", u"./R.VKH"}, u"/report and /json name the same file, \"./R.VKH\"; each needs its own."},
        {{u"/line", u"-"}, u"/line, /skip, /registry, /eventlog and /capture are for unattended runs: add /silent."},
        {{u"/skip", u"Locale"}, u"/line, /skip, /registry, /eventlog and /capture are for unattended runs: add /silent."},
        {{u"/REGISTRY"}, u"/line, /skip, /registry, /eventlog and /capture are for unattended runs: add /silent."},
        {{u"/capture", u"pc.capture"}, u"/line, /skip, /registry, /eventlog and /capture are for unattended runs: add /silent."},
        {{u"/silent", u"/capture-user"}, u"/capture-user keeps the user's name in a capture: add /capture PATH."},
        {{u"/silent", u"/capture", u"./quor-kelvra.vkh"},
         u"/capture names the file that /report or /json writes, \"./quor-kelvra.vkh\"; each needs its own."},
        {{u"/silent", u"/line", u"a.txt", u"/capture", u"A.TXT"}, u"/capture names the file that /line writes, \"A.TXT\"; each needs its own."},
        {{u"/silent", u"/line", u"Quor-kelvra.VKH"}, u"/line names the file that /report or /json writes, \"Quor-kelvra.VKH\"; each needs its own."},
        {{u"/silent", u"/json", u"o.json", u"/line:255", u"O.JSON"}, u"/line names the file that /report or /json writes, \"O.JSON\"; each needs its own."},
        {{u"/line:39", u"-"}, u"/line:39: N is the line's most bytes, from 40 to 2048."},
        {{u"/LINE:2049", u"-"}, u"/LINE:2049: N is the line's most bytes, from 40 to 2048."},
        {{u"/line:", u"-"}, u"/line:: N is the line's most bytes, from 40 to 2048."},
        {{u"/line:25x", u"-"}, u"/line:25x: N is the line's most bytes, from 40 to 2048."},
        {{u"/line", u"/skip", u"Username"}, u"/line needs a PATH."},
        {{u"/skip"}, u"/skip needs the items not to judge."},
        {{u"/skip", u"Username,Usrname"},
         u"/skip names no item: \"Usrname\". The items are \"Operating System\", \"Operating System Version\", "
         u"\"System Manufacturer\", \"Processor Speed\", \"BIOS Version\", \"Locale\", \"Username\", "
         u"\"Total Physical Memory\", \"Available Physical Memory\", \"Hard Drive Size\", \"Serial Ports Detected\"."},
        {{u"/skip", u"Username,"}, u"/skip names no item: \"\". The items are \"Operating System\", \"Operating System Version\", "
         u"\"System Manufacturer\", \"Processor Speed\", \"BIOS Version\", \"Locale\", \"Username\", "
         u"\"Total Physical Memory\", \"Available Physical Memory\", \"Hard Drive Size\", \"Serial Ports Detected\"."},
        {{u"/report", u"C:/out/r.json", u"/json", u"c:\\OUT\\r.json"},
         u"/report and /json name the same file, \"c:\\OUT\\r.json\"; each needs its own."},
    };
    for (const auto& [words, message] : cases) {
        const CommandLine line = Parse(words);
        EXPECT_EQ(ToUtf8(line.error), ToUtf8(message));
    }
    // /silent anywhere, before or after the mistake or swallowed into another word by an escaped
    // quote, is silent: no window ever opens for it.
    for (const auto& words : std::vector<std::vector<const char16_t*>>{
             {u"/silent", u"/x"}, {u"/x", u"/silent"}, {u"/report", u"/SILENT"}, {u"stray", u"-silent"},
             {u"/report", u"C:\\out\" /silent /json x"}, {u"/json", u"a\"-Silent"}, {u"/report", u"C:\\out\"\t/silent"}}) {
        const CommandLine line = Parse(words);
        EXPECT_TRUE(line.silent) << ToUtf8(words.back());
        EXPECT_FALSE(line.error.empty());
    }
    EXPECT_FALSE(Parse({u"/report", u"C:\\silent\\r.vkh"}).silent);
    EXPECT_TRUE(Parse({u"/report", u"r.vkh", u"/json", u"-"}).error.empty());
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
