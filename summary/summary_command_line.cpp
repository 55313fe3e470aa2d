#include "summary/summary_command_line.h"

#include <cerrno>
#include <ctime>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "summary/file_facts.h"
#include "summary/parallel.h"
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
        std::optional<fs::path>* target = Is(argument, "--csv")     ? &line.csv
                                          : Is(argument, "--json")  ? &line.json
                                          : Is(argument, "--html")  ? &line.html
                                          : Is(argument, "--since") ? &line.since
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
    else if (line.since && IsStandardOutput(*line.since))
        line.error = "--since needs the earlier summary's file";
    else if (line.inputs.empty())
        line.error = "no report file or folder given";
    return line;
}

namespace {

using Writer = void (*)(const SiteSummary&, std::ostream&);

void WriteHtmlNow(const SiteSummary& summary, std::ostream& out)
{
    WriteSummaryHtml(summary, static_cast<std::int64_t>(std::time(nullptr)), out);
}

void WriteJsonNow(const SiteSummary& summary, std::ostream& out)
{
    WriteSummaryJson(summary, out, static_cast<std::int64_t>(std::time(nullptr)));
}

void Complain(std::ostream& err, const std::string& message)
{
    // A report's values and a file's name may hold escape sequences meant for the terminal.
    err << TerminalSafe("quor-kelvra-summary: " + message) << "\n";
}

bool WriteOutput(const fs::path& target, std::string_view prefix, Writer writer, const SiteSummary& summary,
                 std::ostream& out, bool outIsTerminal, std::ostream& err)
{
    if (IsStandardOutput(target)) {
        if (outIsTerminal) {
            std::ostringstream text;
            writer(summary, text);
            out << TerminalSafe(text.str());
        } else {
            writer(summary, out);
        }
        out.flush();
        if (out)
            return true;
        Complain(err, "standard output could not be written");
        return false;
    }
    errno = 0;
    // A row of the page or the JSON is a kilobyte or two: written a megabyte at a time, not a few
    // rows at a time.
    std::vector<char> buffer(1 << 20);
    std::ofstream file;
    file.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    file.open(target, std::ios::binary | std::ios::trunc);
    if (!file) {
        const int error = errno;
        Complain(err, DisplayPath(target) + " could not be written: " +
                          (error != 0 ? std::generic_category().message(error) : std::string("it could not be created")));
        return false;
    }
    file << prefix;
    writer(summary, file);
    file.close();
    if (file)
        return true;
    const int error = errno;
    Complain(err, DisplayPath(target) + " could not be written completely: " +
                      (error != 0 ? std::generic_category().message(error) : std::string("the write failed")));
    return false;
}

// Why an output would destroy what is to be read, or another output; empty when it would not.
// Asked before anything is read or written, each file looked at once.
std::string OutputOverInput(const SummaryCommandLine& line)
{
    struct Output {
        const char* option;
        fs::path path;
        FileFacts facts;
        fs::path wholeName;  // empty when it could not be made
    };
    std::vector<Output> outputs;
    for (const auto& [option, target] : {std::pair{"--csv", &line.csv}, {"--json", &line.json}, {"--html", &line.html}}) {
        if (!*target || IsStandardOutput(**target))
            continue;
        std::error_code error;
        fs::path whole = fs::weakly_canonical(fs::absolute(**target, error), error);
        outputs.push_back({option, **target, LookAt(**target, true), error ? fs::path() : std::move(whole)});
    }
    std::vector<std::pair<fs::path, FileFacts>> inputs;
    FileFacts since;
    if (line.since)
        since = LookAt(*line.since, true);
    for (const fs::path& input : line.inputs) {
        FileFacts facts = LookAt(input, true);
        if (facts.Known())
            inputs.emplace_back(input, std::move(facts));
    }
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        const Output& output = outputs[o];
        // "--csv PC-01.vkh PC-02.vkh", the output's own name forgotten: a report is never written
        // over, whether it is to be read or not.
        if (HasReportName(output.path))
            return std::string(output.option) + " " + DisplayPath(output.path) + " has a report's name";
        if (output.facts.exists && !output.facts.directory && ReadReportFile(output.path, output.facts).row)
            return std::string(output.option) + " " + DisplayPath(output.path) + " is a report";
        if (line.since && since.Known() && output.facts.Known() && output.facts.identity == since.identity)
            return std::string(output.option) + " " + DisplayPath(output.path) + " is the earlier summary to compare with";
        // A file named as a report to read, under any name: it need not read as one.
        for (const auto& [input, facts] : inputs) {
            if (!facts.directory && output.facts.Known() && output.facts.identity == facts.identity)
                return std::string(output.option) + " " + DisplayPath(output.path) + " is one of the reports to be read";
        }
        for (std::size_t other = o + 1; other < outputs.size(); ++other) {
            const Output& second = outputs[other];
            // One file by its identity when both exist, by their names made whole when not yet.
            if ((output.facts.Known() && second.facts.Known() && output.facts.identity == second.facts.identity) ||
                (!output.wholeName.empty() && output.wholeName == second.wholeName))
                return std::string(output.option) + " and " + second.option + " name the same file, " +
                       DisplayPath(output.path);
        }
    }
    return std::string();
}

}  // namespace

int RunSummary(const std::vector<fs::path>& arguments, std::ostream& out, std::ostream& err, bool outIsTerminal)
{
    SummaryCommandLine line = ParseSummaryCommandLine(arguments);
    if (line.help) {
        out << kSummaryUsage;
        return 0;
    }
    if (!line.error.empty()) {
        Complain(err, line.error);
        err << kSummaryUsage;
        return 2;
    }
    if (!line.csv && !line.json && !line.html)
        line.csv = fs::path("-");
    const std::string overwrite = OutputOverInput(line);
    if (!overwrite.empty()) {
        Complain(err, overwrite + ": nothing was written");
        return 2;
    }
    // Read whole before anything is written: a summary that cannot be compared with stops here.
    PreviousSummary previous;
    if (line.since) {
        std::string why;
        if (!ReadPreviousSummary(*line.since, previous, why)) {
            Complain(err, "--since " + DisplayPath(*line.since) + " " + why + ": nothing was written");
            return 2;
        }
    }

    SiteSummary summary = SummariseReports(line.inputs);
    if (line.since)
        CompareWithPrevious(summary, std::move(previous));
    for (const SkippedFile& file : summary.skipped)
        Complain(err, "skipped " + file.path + ": " + file.reason);
    if (summary.rows.empty())
        Complain(err, "no report could be summarised");

    // Every output is still written when nothing could be read: an empty table and the list of
    // skipped files say more to a script than a missing file does.
    struct Output {
        const fs::path* target;
        std::string_view prefix;
        Writer writer;
        std::ostringstream complaints;  // said on standard error once every output is written
        bool written = false;
    };
    std::vector<Output> outputs;
    outputs.reserve(3);
    if (line.csv)
        outputs.push_back({&*line.csv, kUtf8ByteOrderMark, WriteSummaryCsv, {}, false});
    if (line.json)
        outputs.push_back({&*line.json, std::string_view(), WriteJsonNow, {}, false});
    if (line.html)
        outputs.push_back({&*line.html, std::string_view(), WriteHtmlNow, {}, false});
    // Each output is its own file, written from the same rows: each on a core of its own.
    ForEachInParallel(outputs.size(), [&](std::size_t index) {
        Output& output = outputs[index];
        try {
            output.written = WriteOutput(*output.target, output.prefix, output.writer, summary, out, outIsTerminal,
                                         output.complaints);
        } catch (...) {
            output.complaints << "quor-kelvra-summary: " << DisplayPath(*output.target) << " could not be written\n";
        }
    });
    bool written = true;
    for (const Output& output : outputs) {
        err << output.complaints.str();
        written &= output.written;
    }
    return written ? SummaryExitCode(summary) : 2;
}
