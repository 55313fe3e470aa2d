#include "summary/summary_command_line.h"

#include <fstream>

#include "summary/site_summary.h"
#include "summary/summary_writers.h"

namespace fs = std::filesystem;

namespace {

bool Is(const fs::path& argument, const char* text)
{
    return argument.native() == fs::path(text).native();
}

}  // namespace

bool IsStandardOutput(const fs::path& path)
{
    return Is(path, "-");
}

SummaryCommandLine ParseSummaryCommandLine(const std::vector<fs::path>& arguments)
{
    SummaryCommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const fs::path& argument = arguments[i];
        const std::string text = DisplayPath(argument);
        if (optionsEnded || text.size() < 2 || text[0] != '-') {
            line.inputs.push_back(argument);
            continue;
        }
        if (Is(argument, "--")) {
            optionsEnded = true;
            continue;
        }
        if (Is(argument, "--help") || Is(argument, "-h")) {
            line.help = true;
            continue;
        }
        std::optional<fs::path>* target = Is(argument, "--csv")    ? &line.csv
                                          : Is(argument, "--json") ? &line.json
                                          : Is(argument, "--html") ? &line.html
                                                                   : nullptr;
        if (target == nullptr) {
            line.error = "unknown option " + text;
            return line;
        }
        if (*target) {
            line.error = text + " is given twice";
            return line;
        }
        if (i + 1 == arguments.size() || arguments[i + 1].empty() || DisplayPath(arguments[i + 1]).rfind("--", 0) == 0) {
            line.error = text + " needs a file name";
            return line;
        }
        *target = arguments[++i];
    }
    if (line.help)
        return line;
    const int toStandardOutput = (line.csv && IsStandardOutput(*line.csv)) + (line.json && IsStandardOutput(*line.json)) +
                                 (line.html && IsStandardOutput(*line.html));
    if (toStandardOutput > 1)
        line.error = "only one output can go to standard output";
    else if (line.inputs.empty())
        line.error = "no report file or folder given";
    return line;
}

namespace {

bool WriteOutput(const fs::path& target, const std::string& prefix, const std::string& content, std::ostream& out,
                 std::ostream& err)
{
    if (IsStandardOutput(target)) {
        out << content;
        out.flush();
        if (out)
            return true;
        err << "quor-kelvra-summary: standard output could not be written\n";
        return false;
    }
    std::ofstream file(target, std::ios::binary | std::ios::trunc);
    file << prefix << content;
    file.close();
    if (file)
        return true;
    err << "quor-kelvra-summary: " << DisplayPath(target) << " could not be written\n";
    return false;
}

}  // namespace

int RunSummary(const std::vector<fs::path>& arguments, std::ostream& out, std::ostream& err)
{
    SummaryCommandLine line = ParseSummaryCommandLine(arguments);
    if (line.help) {
        out << kSummaryUsage;
        return 0;
    }
    if (!line.error.empty()) {
        err << "quor-kelvra-summary: " << line.error << "\n" << kSummaryUsage;
        return 2;
    }
    if (!line.csv && !line.json && !line.html)
        line.csv = fs::path("-");

    const SiteSummary summary = SummariseReports(line.inputs);
    for (const SkippedFile& file : summary.skipped)
        err << "quor-kelvra-summary: skipped " << file.path << ": " << file.reason << "\n";
    if (summary.rows.empty())
        err << "quor-kelvra-summary: no report could be summarised\n";

    // Every output is still written when nothing could be read: an empty table and the list of
    // skipped files say more to a script than a missing file does.
    bool written = true;
    if (line.csv)
        written &= WriteOutput(*line.csv, std::string(kUtf8ByteOrderMark), SummaryCsv(summary), out, err);
    if (line.json)
        written &= WriteOutput(*line.json, std::string(), SummaryJson(summary), out, err);
    if (line.html)
        written &= WriteOutput(*line.html, std::string(), SummaryHtml(summary), out, err);
    return written ? SummaryExitCode(summary) : 2;
}
