#include "app/command_line.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

CString Lowered(CString text)
{
    for (char16_t& unit : text) {
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit - u'A' + u'a');
    }
    return text;
}

bool IsSwitch(const CString& argument)
{
    // "-" alone is a PATH (standard output), never a switch.
    return argument.size() > 1 && (argument[0] == u'/' || argument[0] == u'-');
}

bool IsSwitchName(const CString& name)
{
    return name == u"silent" || name == u"?" || name == u"report" || name == u"json" || name == u"line" ||
           name == u"skip" || name == u"registry" || name == u"eventlog" || name == u"capture" ||
           name == u"capture-user" || name.rfind(u"line:", 0) == 0;
}

// "N" of /line:N, when it is a length the line can be cut to.
std::optional<std::size_t> LineLimitOf(const CString& digits)
{
    if (digits.empty() || digits.size() > 4)
        return std::nullopt;
    std::size_t limit = 0;
    for (const char16_t unit : digits) {
        if (unit < u'0' || unit > u'9')
            return std::nullopt;
        limit = limit * 10 + (unit - u'0');
    }
    if (limit < kShortestLineLimit || limit > kLineLimit)
        return std::nullopt;
    return limit;
}

// A known switch where a PATH should be is that switch, its PATH left out: an empty variable in a
// script, or a PATH forgotten.
bool IsKnownSwitch(const CString& argument)
{
    return IsSwitch(argument) && IsSwitchName(Lowered(argument.substr(1)));
}

// /silent alone, or swallowed with blanks into another word: "C:\out\" /silent reaches the
// program as one word, the backslash having escaped the quote, and a run meant to be unattended
// must still open no window.
bool MentionsSilent(const CString& argument)
{
    std::size_t begin = 0;
    while (begin <= argument.size()) {
        std::size_t end = argument.find_first_of(u" \t\"", begin);
        if (end == CString::npos)
            end = argument.size();
        const CString piece = Lowered(argument.substr(begin, end - begin));
        if (piece == u"/silent" || piece == u"-silent")
            return true;
        begin = end + 1;
    }
    return false;
}

// How Windows compares two names of one file, as far as the names alone tell: without regard to
// case, either slash, a leading ".\" left out.
CString ComparableName(const CString& path)
{
    CString name = Lowered(path);
    for (char16_t& unit : name) {
        if (unit == u'/')
            unit = u'\\';
    }
    while (name.rfind(u".\\", 0) == 0)
        name.erase(0, 2);
    return name;
}

CString OneFileText(const CString& path)
{
    return Format(u"/report and /json name the same file, \"%s\"; each needs its own.", {path});
}

CString CheckedLine(const std::vector<CString>& arguments, CommandLine& line)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const CString& argument = arguments[i];
        if (!IsSwitch(argument))
            return Format(u"Unexpected argument \"%s\".", {argument});
        const CString name = Lowered(argument.substr(1));
        if (name == u"?") {
            line.help = true;
        } else if (name == u"registry") {
            line.registry = true;
        } else if (name == u"eventlog") {
            line.eventLog = true;
        } else if (name == u"capture-user") {
            line.captureUser = true;
        } else if (name == u"skip") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty() || IsKnownSwitch(arguments[i + 1]))
                return Format(u"%s needs the items not to judge.", {argument});
            CString unknown;
            if (!ItemsNamed(arguments[++i], line.skipped, unknown))
                return Format(u"%s names no item: \"%s\". The items are %s.", {argument, unknown, QuotedItemLabels()});
        } else if (name == u"report" || name == u"json" || name == u"line" || name == u"capture" ||
                   name.rfind(u"line:", 0) == 0) {
            if (name.rfind(u"line:", 0) == 0) {
                const std::optional<std::size_t> limit = LineLimitOf(name.substr(5));
                if (!limit)
                    return Format(u"%s: N is the line's most bytes, from 40 to 2048.", {argument});
                line.lineLimit = *limit;
            } else if (name == u"line") {
                line.lineLimit = kLineLimit;
            }
            if (i + 1 >= arguments.size() || arguments[i + 1].empty() || IsKnownSwitch(arguments[i + 1]))
                return Format(u"%s needs a PATH.", {argument});
            const CString& path = arguments[++i];
            if (path.find(u'"') != CString::npos)
                return Format(u"The PATH after %s holds a double quote, which no file name can: \"%s\". "
                              u"A backslash just before a closing quote escapes it; end a folder's "
                              u"name without its last backslash.",
                              {argument, path});
            (name == u"report" ? line.reportPath
             : name == u"json" ? line.jsonPath
             : name == u"capture" ? line.capturePath
                                  : line.linePath) = path;
        } else if (name != u"silent") {
            return Format(u"Unknown switch \"%s\".", {argument});
        }
    }
    if (line.reportPath && line.jsonPath && *line.jsonPath != u"-" &&
        ComparableName(*line.reportPath) == ComparableName(*line.jsonPath))
        return OneFileText(*line.jsonPath);
    // Both speak to fleet tools, which start the program unattended; the dialog shows its own verdict.
    if (line.captureUser && !line.capturePath)
        return CString(u"/capture-user keeps the user's name in a capture: add /capture PATH.");
    if (!line.silent && (line.linePath || line.registry || line.eventLog || line.capturePath ||
                         std::find(line.skipped.begin(), line.skipped.end(), true) != line.skipped.end()))
        return CString(u"/line, /skip, /registry, /eventlog and /capture are for unattended runs: add /silent.");
    // The line is a file of its own too, beside the report's own name when /report is not given.
    const CString report = line.reportPath ? *line.reportPath : CString(kReportFileName);
    using NamedPath = std::pair<const char16_t*, const std::optional<CString>*>;
    for (const auto& [name, path] : {NamedPath{u"/line", &line.linePath}, NamedPath{u"/capture", &line.capturePath}}) {
        if (*path && **path != u"-" &&
            (ComparableName(report) == ComparableName(**path) ||
             (line.jsonPath && ComparableName(*line.jsonPath) == ComparableName(**path))))
            return Format(u"%s names the file that /report or /json writes, \"%s\"; each needs its own.",
                          {name, **path});
    }
    if (line.linePath && line.capturePath && *line.linePath != u"-" &&
        ComparableName(*line.linePath) == ComparableName(*line.capturePath))
        return Format(u"/capture names the file that /line writes, \"%s\"; each needs its own.", {*line.capturePath});
    return CString();
}

}  // namespace

std::vector<CString> CommandLineWords(const CString& line)
{
    const auto blank = [](char16_t unit) { return unit == u' ' || unit == u'\t'; };
    std::size_t at = 0;
    const std::size_t end = line.size();
    if (at < end && line[at] == u'"') {
        at = line.find(u'"', 1);
        at = at == CString::npos ? end : at + 1;
    } else {
        while (at < end && !blank(line[at]))
            ++at;
    }
    std::vector<CString> words;
    for (;;) {
        while (at < end && blank(line[at]))
            ++at;
        if (at == end)
            return words;
        CString word;
        std::size_t backslashes = 0;
        // Quotes seen in a row, counted as CommandLineToArgvW counts them: 1 is inside a quoted
        // part, and a third in a row is a quote of the word's own.
        int quotes = 0;
        for (; at < end && !(blank(line[at]) && quotes == 0); ++at) {
            const char16_t unit = line[at];
            if (unit != u'"') {
                backslashes = unit == u'\\' ? backslashes + 1 : 0;
                word.push_back(unit);
                continue;
            }
            word.resize(word.size() - backslashes / 2);
            if (backslashes % 2 == 1) {
                word.back() = u'"';
            } else {
                ++quotes;
            }
            backslashes = 0;
            for (; at + 1 < end && line[at + 1] == u'"'; ++at) {
                if (++quotes == 3) {
                    word.push_back(u'"');
                    quotes = 0;
                }
            }
            if (quotes == 2)
                quotes = 0;
        }
        words.push_back(word);
    }
}

CommandLine ParseCommandLine(const std::vector<CString>& arguments)
{
    CommandLine line;
    // Looked for before anything else can be wrong: with /silent anywhere, no window ever opens.
    for (const CString& argument : arguments)
        line.silent = line.silent || MentionsSilent(argument);
    line.error = CheckedLine(arguments, line);
    return line;
}

void RefuseOneFileForBoth(Platform& platform, CommandLine& line)
{
    if (!line.error.empty() || !line.reportPath || !line.jsonPath || *line.jsonPath == u"-")
        return;
    // Opening a file on a share whose server does not answer waits out the network's own time-out
    // (half a minute and more), and this runs before any window shows: it is given a few seconds on
    // a thread of its own. A check that has not answered by then is taken as two files; the run's
    // own writes meet that share with their own limits.
    auto same = std::make_shared<std::atomic<bool>>(false);
    const CString report = *line.reportPath;
    const CString json = *line.jsonPath;
    const WaitEnd end = platform.RunWmiTask(
        [&platform, same, report, json](WmiApi&) { same->store(platform.NamesOneFile(report, json)); },
        kNameCheckMs, [](std::uint32_t) { return true; });
    if (end == WaitEnd::Finished && same->load())
        line.error = OneFileText(*line.jsonPath);
}

int ExitCode(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::AllPass: return 0;
    case RunOutcome::SomeFail: return 1;
    case RunOutcome::CheckCouldNotRun: return 2;
    case RunOutcome::OutputIncomplete: return 3;
    case RunOutcome::BadCommandLine: return 87;
    // ERROR_TIMEOUT, as 87 is ERROR_INVALID_PARAMETER. It first meant a WMI that gave no answer in
    // time and now means every WMI failure: fleet tools and scripts set up for it go on working, and
    // none takes it for success or retries on it (they do on 0, 1641, 3010, and Configuration
    // Manager on 4, 5 and 8).
    case RunOutcome::FitnessUnknown: return 1460;
    }
    return 87;
}
