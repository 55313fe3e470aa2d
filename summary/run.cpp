#include "summary/run.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "summary/command_line/outputs.h"
#include "summary/common/parallel.h"
#include "summary/since/site_changes.h"
#include "summary/walk/walk.h"
#include "summary/writers/csv_writer.h"
#include "summary/writers/json_writer.h"
#include "summary/writers/page_writer.h"
#include "summary/writers/text_forms.h"

namespace fs = std::filesystem;

namespace {

void Complain(std::ostream& err, const std::string& message)
{
    // A report's values and a file's name may hold escape sequences meant for the terminal.
    err << TerminalSafe("quor-kelvra-summary: " + message) << "\n";
}

// One output as it is written: standard output, which a terminal gets only made safe, a batch of
// rows at a time; or a file, written beside its name and put in place at the end, or straight.
class Output {
public:
    explicit Output(const PlannedOutput& planned) : planned_(planned) {}

    bool Open(std::ostream& out, bool outIsTerminal, OutputSinks& files, std::string& why)
    {
        if (planned_.standardOutput) {
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
        // Spreadsheet programs need the byte-order mark to read the CSV as UTF-8; standard output
        // gets none, as a program reading it takes it for text.
        if (std::string_view(planned_.option) == "--csv")
            fileStream_ << kUtf8ByteOrderMark;
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
    totals.notJudged = line.notJudged;
    std::vector<SkippedFile> skipped;
    std::vector<PcChange> batchChanges;
    WalkReports(
        inputs,
        [&](std::vector<SummaryRow>& rows) {
            batchChanges.clear();
            for (SummaryRow& row : rows)
                row.SetNotJudged(line.notJudged);
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

