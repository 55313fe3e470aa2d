// Many reports in, one table of parsed rows out. A report is read exactly as "Import File" reads
// it, so a file means the same thing in the dialog and in the summary.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/labels.h"
#include "report/report_import.h"
#include "report/run_results.h"
#include "summary/since.h"
#include "summary/file_facts.h"

// One item of a row as the writers read it.
struct SummaryItem {
    bool present = false;
    std::string_view value;  // UTF-8, without the blank that follows the label's colon
    bool pass = false;
};

// Only what the writers need, in one string: the file's text is gone once its row is made, and a
// site of 200,000 reports keeps one allocation per report, so memory grows with the number of
// reports, not with their size.
class SummaryRow {
public:
    SummaryRow() = default;
    SummaryRow(std::string_view path, const std::array<SummaryItem, kResultItemCount>& items, std::int64_t written = 0);

    std::string_view Path() const { return std::string_view(text_).substr(0, ends_[0]); }
    // The PC the report is of: its path below the folder or file named on the command line.
    std::string_view Key() const { return Path().substr(keyFrom_); }
    void SetKeyFrom(std::size_t from) { keyFrom_ = static_cast<std::uint32_t>(std::min<std::size_t>(from, ends_[0])); }
    ItemVerdict Verdict(std::size_t item) const;
    SummaryItem Item(std::size_t item) const;
    // "0x80041003" of a failing value "Error 0x80041003...": WMI failed or gave no answer in time
    // on the PC that wrote the report, so the item was judged on that error, not on the PC.
    // Empty for every other item.
    std::string_view Error(std::size_t item) const;
    // When the report was written: its file's modification time, seconds since 1970 (UTC).
    std::int64_t Written() const { return written_; }

    int FailedCount() const;  // items missing or not passing, those judged on errors included
    int JudgedOnErrorCount() const;
    // Unfit when an item fails on its value (a missing one does); unknown when the only items
    // failing were judged on errors.
    Fitness PcFitness() const { return FitnessOf(FailedCount() - JudgedOnErrorCount(), JudgedOnErrorCount()); }
    bool Fit() const { return PcFitness() == Fitness::Fit; }

private:
    std::string text_;  // the path ("as found, with forward slashes on every system"), then each value
    std::array<std::uint32_t, kResultItemCount + 1> ends_{};
    std::uint16_t present_ = 0;
    std::uint16_t pass_ = 0;
    std::uint16_t error_ = 0;  // the items judged on errors, found once when the row is made
    std::uint32_t keyFrom_ = 0;
    std::int64_t written_ = 0;
};

struct SkippedFile {
    SkippedFile(std::string shown, std::string why, std::optional<std::string> below = std::nullopt)
        : path(std::move(shown)), reason(std::move(why)), unread(std::move(below))
    {
    }

    std::string path;
    std::string reason;
    // What could not be read today names PCs that are not gone: the report's PC, or for a folder
    // the start every PC below it shares ("floor 2/"). Empty for what names no PC (a link to a
    // folder, never followed).
    std::optional<std::string> unread;
};

// Today's site against an earlier summary of it.
struct SiteChanges {
    PreviousSummary previous;         // its PCs marked as seen where they are still there
    std::vector<PcChange> changes;    // one per row, in the rows' order, when the rows are kept
    std::array<long long, kChangeCount> counts{};  // by Change, the gone PCs among them

    // Today's row against its earlier self, counted.
    PcChange Compare(const SummaryRow& row);
    // The earlier PCs that a file or folder skipped today names (SkippedFile::unread, a path
    // shown for a summary keyed by reports): not read, rather than gone.
    void NotRead(const SkippedFile& skipped);
    // The earlier PCs not seen again, counted as gone or not read: once every row has been compared.
    void CountGone();
};

struct SiteSummary {
    std::vector<SummaryRow> rows;        // in the order the walk reads them
    std::vector<SkippedFile> skipped;    // ordered by path
    std::optional<SiteChanges> since;
};

// Compares every row with the earlier summary: each gets its change, and the earlier PCs not seen
// again are gone.
void CompareWithPrevious(SiteSummary& summary, PreviousSummary previous);

// The path as the user will see it in every output. Forward slashes make the Windows and the
// Linux build write the same table for the same folder.
std::string DisplayPath(const std::filesystem::path& path);

// A parsed report as a row; nullopt when it holds no known label.
std::optional<SummaryRow> RowFromReport(const std::string& path, const ImportedReport& report,
                                        std::int64_t written = 0);

// One file read into a row, or the reason it was skipped.
struct ReadResult {
    std::optional<SummaryRow> row;
    std::string reason;
};
ReadResult ReadReportFile(const std::filesystem::path& path);
// The same with what the system said of the file already.
ReadResult ReadReportFile(const std::filesystem::path& path, const FileFacts& facts);

// True for names ending in ".vkh" in any case.
bool HasReportName(const std::filesystem::path& path);

// A file or folder named on the command line, looked at once, so that the checks made before
// anything is written and the walk see the same thing.
struct NamedInput {
    std::filesystem::path path;
    FileFacts facts;  // what it leads to: a folder named is walked even through a link
};
std::vector<NamedInput> LookAtInputs(const std::vector<std::filesystem::path>& paths);

// Walks what is given, in the order of the command line and, inside a folder, of the paths shown
// (links last), and hands on the rows as they are read, a batch at a time, and each file skipped.
void WalkReports(const std::vector<NamedInput>& inputs,
                 const std::function<void(std::vector<SummaryRow>&)>& rows,
                 const std::function<void(SkippedFile)>& skipped);

// Files given are read whatever their name; folders are searched recursively for report names.
// Links to folders inside them are not followed but named among the skipped; a folder or a file
// reached twice, by whatever name, counts once.
SiteSummary SummariseReports(const std::vector<std::filesystem::path>& paths);

// 0 every file was read, 1 some were skipped, 2 nothing could be summarised.
int SummaryExitCode(const SiteSummary& summary);
int SummaryExitCode(std::size_t reports, std::size_t skipped);
