#include "summary/summary_command_line.h"

#include <cerrno>
#include <ctime>
#include <algorithm>
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


void Complain(std::ostream& err, const std::string& message)
{
    // A report's values and a file's name may hold escape sequences meant for the terminal.
    err << TerminalSafe("quor-kelvra-summary: " + message) << "\n";
}

// One output as it is written: a file through a large buffer, or standard output, which a terminal
// gets only made safe, a batch of rows at a time.
class OutputStream {
public:
    // False, with the reason said on `err`, when the file cannot be created.
    bool Open(const fs::path& target, std::string_view prefix, std::ostream& out, bool outIsTerminal,
              std::ostream& err)
    {
        target_ = target;
        if (IsStandardOutput(target)) {
            // The byte-order mark is a file's: a program reading standard output takes it for text.
            out_ = &out;
            stream_ = outIsTerminal ? static_cast<std::ostream*>(&terminal_) : &out;
            return true;
        }
        errno = 0;
        // A row of the page or the JSON is a kilobyte or two: written a megabyte at a time, not a
        // few rows at a time.
        buffer_.resize(1 << 20);
        file_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        file_.open(target, std::ios::binary | std::ios::trunc);
        if (!file_) {
            const int error = errno;
            Complain(err, DisplayPath(target) + " could not be written: " +
                              (error != 0 ? std::generic_category().message(error) : std::string("it could not be created")));
            return false;
        }
        stream_ = &file_;
        file_ << prefix;
        return true;
    }

    std::ostream& Stream() { return *stream_; }

    // At the end of whole rows: what a terminal is to show, made safe.
    void Pass()
    {
        if (stream_ != &terminal_)
            return;
        *out_ << TerminalSafe(terminal_.str());
        terminal_.str(std::string());
    }

    bool Close(std::ostream& err)
    {
        Pass();
        if (out_) {
            out_->flush();
            if (*out_)
                return true;
            Complain(err, "standard output could not be written");
            return false;
        }
        errno = 0;
        file_.close();
        if (file_)
            return true;
        const int error = errno;
        Complain(err, DisplayPath(target_) + " could not be written completely: " +
                          (error != 0 ? std::generic_category().message(error) : std::string("the write failed")));
        return false;
    }

private:
    fs::path target_;
    std::ostream* out_ = nullptr;
    std::ostream* stream_ = nullptr;
    std::ostringstream terminal_;
    std::vector<char> buffer_;
    std::ofstream file_;
};

// Why an output would destroy what is to be read, or another output; empty when it would not.
// Asked before anything is read or written, each file looked at once.
std::string OutputOverInput(const SummaryCommandLine& line, const std::vector<NamedInput>& inputs)
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
    FileFacts since;
    if (line.since)
        since = LookAt(*line.since, true);
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
        for (const auto& [path, facts] : inputs) {
            if (facts.Known() && !facts.directory && output.facts.Known() && output.facts.identity == facts.identity)
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
    const std::vector<NamedInput> inputs = LookAtInputs(line.inputs);
    const std::string overwrite = OutputOverInput(line, inputs);
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

    // Every output is opened before anything is read, and written as the reports are read: a site
    // of any size needs no copy of itself in memory. Each is still written when nothing could be
    // read: an empty table and the list of skipped files say more to a script than a missing file.
    OutputStream csvOut, jsonOut, htmlOut;
    if ((line.csv && !csvOut.Open(*line.csv, kUtf8ByteOrderMark, out, outIsTerminal, err)) ||
        (line.json && !jsonOut.Open(*line.json, std::string_view(), out, outIsTerminal, err)) ||
        (line.html && !htmlOut.Open(*line.html, std::string_view(), out, outIsTerminal, err)))
        return 2;
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    std::optional<SiteChanges> changes;
    if (line.since)
        changes.emplace().previous = std::move(previous);
    std::optional<CsvStream> csv;
    std::optional<JsonStream> json;
    if (line.csv)
        csv.emplace(csvOut.Stream(), changes.has_value());
    if (line.json)
        json.emplace(jsonOut.Stream(), now);
    PageRows page;
    SiteTotals totals;
    std::vector<SkippedFile> skipped;
    std::vector<PcChange> batchChanges;
    WalkReports(
        inputs,
        [&](std::vector<SummaryRow>& rows) {
            batchChanges.clear();
            for (const SummaryRow& row : rows) {
                totals.Add(row);
                if (changes)
                    batchChanges.push_back(changes->Compare(row));
            }
            const auto changeOf = [&](std::size_t r) { return changes ? &batchChanges[r] : nullptr; };
            // Each output is its own file, written from the same rows: each on a core of its own.
            ForEachInParallel(3, [&](std::size_t output) {
                for (std::size_t r = 0; r < rows.size(); ++r) {
                    if (output == 0 && csv)
                        csv->Row(rows[r], changeOf(r));
                    if (output == 1 && json)
                        json->Row(rows[r], changeOf(r));
                    if (output == 2 && line.html)
                        page.Add(rows[r], changeOf(r));
                }
                (output == 0 ? csvOut : output == 1 ? jsonOut : htmlOut).Pass();
            });
        },
        [&](SkippedFile file) {
            Complain(err, "skipped " + file.path + ": " + file.reason);
            skipped.push_back(std::move(file));
        });
    if (totals.reports == 0)
        Complain(err, "no report could be summarised");
    if (changes)
        changes->CountGone();
    std::stable_sort(skipped.begin(), skipped.end(),
                     [](const SkippedFile& a, const SkippedFile& b) { return a.path < b.path; });
    const SiteChanges* since = changes ? &*changes : nullptr;
    if (csv && since)
        csv->Gone(since->previous);
    if (json)
        json->End(skipped, since, totals);
    if (line.html)
        WritePage(page, totals, skipped, since, now, htmlOut.Stream());
    bool written = true;
    if (line.csv)
        written &= csvOut.Close(err);
    if (line.json)
        written &= jsonOut.Close(err);
    if (line.html)
        written &= htmlOut.Close(err);
    return written ? SummaryExitCode(totals.reports, skipped.size()) : 2;
}
