// A report as the summary keeps it: read exactly as "Import File" reads it, so a file means the
// same thing in the dialog and in the summary, and only what the writers need of it is kept.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "report/labels.h"
#include "report/report_import.h"
#include "report/run_results.h"
#include "summary/common/file_facts.h"
#include "summary/since/since.h"

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

    // The items the site does not judge (--skip): they keep their values and verdicts, and count
    // for nothing below.
    void SetNotJudged(std::uint16_t items) { notJudged_ = items; }
    bool Judged(std::size_t item) const { return (notJudged_ >> item & 1u) == 0; }

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
    std::uint16_t notJudged_ = 0;
    std::uint32_t keyFrom_ = 0;
    std::int64_t written_ = 0;
};

// The path as the user will see it in every output. Forward slashes make the Windows and the
// Linux build write the same table for the same folder.
std::string DisplayPath(const std::filesystem::path& path);

// A parsed report as a row; nullopt when it holds no known label.
std::optional<SummaryRow> RowFromReport(const std::string& path, const ImportedReport& report,
                                        std::int64_t written = 0);

// The same from a report's text, read as ParseReport reads it, without a copy of each value.
std::optional<SummaryRow> RowFromText(const std::string& path, std::u16string_view text, std::int64_t written = 0);

// One file read into a row, or the reason it was skipped.
struct ReadResult {
    std::optional<SummaryRow> row;
    std::string reason;
    FileFacts opened;  // what the system said of the file as it was read; not identified if it was not
};
ReadResult ReadReportFile(const std::filesystem::path& path);
// The same with what the system said of the file already.
ReadResult ReadReportFile(const std::filesystem::path& path, const FileFacts& facts);

// True for names ending in ".vkh" in any case.
bool HasReportName(const std::filesystem::path& path);
