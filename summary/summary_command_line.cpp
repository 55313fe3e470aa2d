#include "summary/summary_command_line.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <sstream>
#include <system_error>
#include <tuple>
#include <vector>

#include "summary/file_facts.h"
#include "summary/sink.h"
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

// An output as the command line names it, looked at once before anything is read or written.
struct PlannedOutput {
    const char* option = "";
    fs::path named;
    std::string_view prefix;  // what a file starts with: the CSV's byte-order mark
    bool standardOutput = false;
    fs::path target;          // what the name leads to, links followed: where the bytes go
    FileFacts facts;          // of the target
    bool straight = false;    // not a regular file: written through, never replaced
    fs::path wholeName;       // the target made absolute and canonical; empty when it cannot be
};

// Where a chain of links ends, whether or not anything is there: a new output is made, and an
// earlier one replaced, under the name the last link gives, and the links stay links.
fs::path LeadsTo(const fs::path& named)
{
    fs::path at = named;
    // As many links as the system itself follows; none of a device's ("/dev/fd/63" leads to
    // "pipe:[4711]", which is no name).
    for (int hops = 0; hops < 40 && !NamesADevice(at) && LookAt(at, false).link; ++hops) {
        std::error_code error;
        const fs::path next = fs::read_symlink(at, error);
        if (error)
            break;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return at;
}

std::vector<PlannedOutput> PlanOutputs(const SummaryCommandLine& line)
{
    std::vector<PlannedOutput> outputs;
    const std::tuple<const char*, const std::optional<fs::path>*, std::string_view> named[] = {
        {"--csv", &line.csv, kUtf8ByteOrderMark}, {"--json", &line.json, {}}, {"--html", &line.html, {}}};
    for (const auto& [option, path, prefix] : named) {
        if (!*path)
            continue;
        PlannedOutput output;
        output.option = option;
        output.named = **path;
        output.prefix = prefix;
        output.standardOutput = IsStandardOutput(**path);
        if (!output.standardOutput) {
            output.target = LeadsTo(output.named);
            // A device is not looked at: on Windows that alone may open it.
            output.straight = NamesADevice(output.named) || NamesADevice(output.target);
            if (!output.straight) {
                output.facts = LookAt(output.target, true);
                output.straight = output.facts.Known() && !output.facts.regular && !output.facts.directory;
            }
            std::error_code error;
            fs::path whole = fs::weakly_canonical(fs::absolute(output.target, error), error);
            if (!error)
                output.wholeName = std::move(whole);
        }
        outputs.push_back(std::move(output));
    }
    return outputs;
}

// Why an output would destroy what is to be read, or another output; empty when it would not.
std::string OutputOverInput(const std::vector<PlannedOutput>& outputs, const SummaryCommandLine& line,
                            const std::vector<NamedInput>& inputs)
{
    FileFacts since;
    if (line.since)
        since = LookAt(*line.since, true);
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        const PlannedOutput& output = outputs[o];
        if (output.standardOutput)
            continue;
        const std::string named = std::string(output.option) + " " + DisplayPath(output.named);
        // "--csv PC-01.vkh PC-02.vkh", the output's own name forgotten: a report is never written
        // over, whether it is to be read or not, nor made by a link that leads to its name.
        if (HasReportName(output.named))
            return named + " has a report's name";
        if (HasReportName(output.target))
            return named + " leads to a report's name, " + DisplayPath(output.target);
        if (output.facts.directory)
            return named + " is a folder";
        // Only a regular file is read to see whether it is a report: a FIFO would wait for ever.
        if (output.facts.regular && ReadReportFile(output.target, output.facts).row)
            return named + " is a report";
        if (line.since && since.Known() && output.facts.Known() && output.facts.identity == since.identity)
            return named + " is the earlier summary to compare with";
        // A file named as a report to read, under any name: it need not read as one.
        for (const auto& [path, facts] : inputs) {
            if (facts.Known() && !facts.directory && output.facts.Known() && output.facts.identity == facts.identity)
                return named + " is one of the reports to be read";
        }
        for (std::size_t other = o + 1; other < outputs.size(); ++other) {
            const PlannedOutput& second = outputs[other];
            // One file by its identity when both exist, by their names made whole when not yet.
            if (!second.standardOutput &&
                ((output.facts.Known() && second.facts.Known() && output.facts.identity == second.facts.identity) ||
                 (!output.wholeName.empty() && output.wholeName == second.wholeName)))
                return std::string(output.option) + " and " + second.option + " name the same file, " +
                       DisplayPath(output.named);
        }
    }
    return std::string();
}

// One output as it is written: standard output, which a terminal gets only made safe, a batch of
// rows at a time; or a file, written beside its name and put in place at the end, or straight.
class Output {
public:
    explicit Output(const PlannedOutput& planned) : planned_(planned) {}

    bool Open(std::ostream& out, bool outIsTerminal, OutputSinks& files, std::string& why)
    {
        if (planned_.standardOutput) {
            // The byte-order mark is a file's: a program reading standard output takes it for text.
            out_ = &out;
            stream_ = outIsTerminal ? static_cast<std::ostream*>(&terminal_) : &out;
            return true;
        }
        file_ = files.Open(planned_.target, planned_.straight, why);
        if (!file_)
            return false;
        buffer_.emplace(*file_);
        fileStream_.rdbuf(&*buffer_);
        stream_ = &fileStream_;
        fileStream_ << planned_.prefix;
        return true;
    }

    const PlannedOutput& Planned() const { return planned_; }
    std::ostream& Stream() { return *stream_; }

    // At the end of whole rows: what a terminal is to show, made safe.
    void Pass()
    {
        if (stream_ != &terminal_)
            return;
        *out_ << TerminalSafe(terminal_.str());
        terminal_.str(std::string());
    }

    // Every byte handed on, on the disk for a file; false with the reason when any was not.
    bool Finish(std::string& why)
    {
        Pass();
        if (out_) {
            out_->flush();
            why = *out_ ? std::string() : std::string("the write failed");
            return static_cast<bool>(*out_);
        }
        if (!buffer_->Drain()) {
            why = buffer_->Why();
            return false;
        }
        return file_->Finish(why);
    }

    bool Commit(std::string& why) { return !file_ || file_->Commit(why); }
    void Abandon()
    {
        if (file_)
            file_->Abandon();
    }

private:
    const PlannedOutput& planned_;
    std::ostream* out_ = nullptr;  // standard output
    std::ostream* stream_ = nullptr;
    std::ostringstream terminal_;
    std::unique_ptr<OutputSink> file_;
    std::optional<OutputBuffer> buffer_;
    std::ostream fileStream_{nullptr};
};

std::string Name(const PlannedOutput& output)
{
    return output.standardOutput ? std::string("standard output") : DisplayPath(output.named);
}

// What a failure left as it was: the user's next --since needs last week's file.
std::string WhatWasKept(const PlannedOutput& failed, const std::vector<PlannedOutput>& outputs)
{
    std::string kept;
    if (!failed.straight && failed.facts.Known() && failed.facts.regular)
        kept = "the earlier " + DisplayPath(failed.named) + " was kept";
    const bool others = std::any_of(outputs.begin(), outputs.end(), [&](const PlannedOutput& output) {
        return &output != &failed && !output.standardOutput && !output.straight;
    });
    if (others)
        kept += kept.empty() ? "no other output was replaced" : ", and no other output was replaced";
    return kept.empty() ? std::string() : "; " + kept;
}

}  // namespace

int RunSummary(const std::vector<fs::path>& arguments, std::ostream& out, std::ostream& err, bool outIsTerminal,
               OutputSinks& files)
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
    const std::vector<PlannedOutput> planned = PlanOutputs(line);
    const std::string overwrite = OutputOverInput(planned, line, inputs);
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
    // The files written beside their names come first, so that a pipe's reader hears nothing of a
    // run that cannot write them.
    std::vector<std::unique_ptr<Output>> outputs;
    for (const PlannedOutput& output : planned)
        outputs.push_back(std::make_unique<Output>(output));
    std::stable_partition(outputs.begin(), outputs.end(),
                          [](const auto& output) { return !output->Planned().straight; });
    for (const auto& output : outputs) {
        std::string why;
        if (!output->Open(out, outIsTerminal, files, why)) {
            Complain(err, Name(output->Planned()) + " could not be written: " + why +
                              WhatWasKept(output->Planned(), planned));
            for (const auto& opened : outputs)
                opened->Abandon();
            return 2;
        }
    }
    const auto outputFor = [&](std::string_view option) -> Output* {
        for (const auto& output : outputs) {
            if (output->Planned().option == option)
                return output.get();
        }
        return nullptr;
    };
    Output* csvOut = outputFor("--csv");
    Output* jsonOut = outputFor("--json");
    Output* htmlOut = outputFor("--html");

    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    std::optional<SiteChanges> changes;
    if (line.since)
        changes.emplace().previous = std::move(previous);
    std::optional<CsvStream> csv;
    std::optional<JsonStream> json;
    if (csvOut)
        csv.emplace(csvOut->Stream(), changes.has_value());
    if (jsonOut)
        json.emplace(jsonOut->Stream(), now);
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
                    if (output == 2 && htmlOut)
                        page.Add(rows[r], changeOf(r));
                }
                if (Output* written = output == 0 ? csvOut : output == 1 ? jsonOut : nullptr)
                    written->Pass();
            });
        },
        [&](SkippedFile file) {
            Complain(err, "skipped " + file.path + ": " + file.reason);
            if (changes)
                changes->NotRead(file);
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
    if (htmlOut)
        WritePage(page, totals, skipped, since, now, htmlOut->Stream());

    // Put in place only when every output is whole: one that could not be finished leaves every
    // earlier file as it was, so that the outputs never disagree with each other.
    bool whole = true;
    for (const auto& output : outputs) {
        std::string why;
        if (!output->Finish(why)) {
            Complain(err, Name(output->Planned()) + " could not be written completely: " + why +
                              WhatWasKept(output->Planned(), planned));
            whole = false;
        }
    }
    if (!whole) {
        for (const auto& output : outputs)
            output->Abandon();
        return 2;
    }
    for (const auto& output : outputs) {
        std::string why;
        if (!output->Commit(why)) {
            Complain(err, Name(output->Planned()) + " could not be put in place: " + why + "; the earlier file was kept");
            output->Abandon();
            whole = false;
        }
    }
    return whole ? SummaryExitCode(totals.reports, skipped.size()) : 2;
}
