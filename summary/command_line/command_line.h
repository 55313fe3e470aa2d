// The summary program's command line and its run, apart from the entry point of each system so
// that both are tested natively.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct SummaryCommandLine {
    std::optional<std::filesystem::path> csv;  // "-" is standard output
    std::optional<std::filesystem::path> json;
    std::optional<std::filesystem::path> html;
    std::optional<std::filesystem::path> since;  // an earlier summary's JSON to compare with
    std::vector<std::filesystem::path> inputs;
    std::uint16_t notJudged = 0;  // the items the site does not judge (--skip), one bit each
    bool help = false;
    std::string error;  // why the command line is wrong; empty when it is right
};

// `arguments` without the program's own name. "--" ends the options, for a path starting with
// "--".
SummaryCommandLine ParseSummaryCommandLine(const std::vector<std::filesystem::path>& arguments);

bool IsStandardOutput(const std::filesystem::path& path);

inline constexpr const char* kSummaryUsage =
    "Usage: quor-kelvra-summary [--csv FILE] [--json FILE] [--html FILE] [--since FILE]\n"
    "                           [--skip ITEM[,ITEM...]] PATH...\n"
    "  PATH         a report file, or a folder searched recursively for *.vkh files\n"
    "               (links to folders inside it are named, not followed)\n"
    "  --csv FILE   the table as CSV (UTF-8 with a byte-order mark)\n"
    "  --json FILE  the table as JSON\n"
    "  --html FILE  a page with a chart and the table, to send by mail\n"
    "  --since FILE what changed since the summary FILE (written earlier by --json): each PC\n"
    "               new, gone, became fit, unfit or unknown, or unchanged, and its changed items\n"
    "  --skip ITEMS items the site does not judge, named as reports name them and separated\n"
    "               by commas (\"Username\"): shown as skipped, not counted against any PC\n"
    "  FILE may be - for standard output; with no option the CSV goes to standard output.\n"
    "  A FILE that is a report, has a report's name (*.vkh) or is one of the reports, is refused.\n"
    "  Each FILE is replaced only when every output is whole: a failure keeps the earlier ones.\n"
    "Exit code: 0 every file was read; 1 some files or links to folders were skipped (each\n"
    "named on standard error); 2 nothing could be summarised, an output could not be written\n"
    "or would overwrite an input, the --since FILE is no summary of ours, or the command line\n"
    "is wrong.\n";
