// Feeds any arguments to the command-line parser, as a fleet tool might pass them: the bytes are
// UTF-16 code units, and a NUL unit separates two arguments.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/command_line.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

CString Lowered(CString text)
{
    for (char16_t& unit : text)
        unit = unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
    return text;
}

}  // namespace

void FuzzCommandLine(const std::uint8_t* data, std::size_t size)
{
    std::vector<CString> arguments(1);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == u'\0')
            arguments.emplace_back();
        else
            arguments.back().push_back(unit);
    }
    const CommandLine line = ParseCommandLine(arguments);
    // /silent as a word of its own, in any case, always means no window.
    for (const CString& argument : arguments) {
        const CString word = Lowered(argument);
        FUZZ_CHECK(line.silent || (word != u"/silent" && word != u"-silent"), "/silent did not mean no window");
    }
    if (!line.error.empty())
        return;
    // A PATH of a right command line is one of the arguments, whole, and could name a file: not
    // empty, no double quote, not a switch of the program's own.
    FUZZ_CHECK(line.lineLimit >= kShortestLineLimit && line.lineLimit <= kLineLimit, "a line limit out of its range");
    // An item not judged was named, whole, in a /skip list.
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        if (!line.skipped[item])
            continue;
        bool named = false;
        for (const CString& argument : arguments)
            named = named || Lowered(argument).find(Lowered(kResultRows[item].label)) != CString::npos;
        FUZZ_CHECK(named, "an item not judged that no argument named");
    }
    // Any line joined from the arguments splits into words no longer than the line.
    CString whole = u"q.exe";
    for (const CString& argument : arguments)
        whole += u" " + argument;
    for (const CString& word : CommandLineWords(whole))
        FUZZ_CHECK(word.size() < whole.size(), "a word longer than its line");
    FUZZ_CHECK(!line.captureUser || line.capturePath, "the user's name kept with no capture");
    for (const auto* path : {&line.reportPath, &line.jsonPath, &line.linePath, &line.capturePath}) {
        if (!*path)
            continue;
        bool found = false;
        for (const CString& argument : arguments)
            found = found || argument == **path;
        FUZZ_CHECK(found && !(*path)->empty() && (*path)->find(u'"') == CString::npos,
                   "a path is not one whole argument that could name a file");
        const CString word = Lowered(**path);
        for (const char16_t* name : {u"silent", u"report", u"json", u"line", u"skip", u"capture", u"?"}) {
            FUZZ_CHECK(word != CString(u"/") + name && word != CString(u"-") + name, "a switch was taken for a path");
        }
    }
}

QK_FUZZER_ENTRY(FuzzCommandLine)
