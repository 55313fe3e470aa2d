// Many reports in, one table of parsed rows out. A report is read exactly as "Import File" reads
// it, so a file means the same thing in the dialog and in the summary.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "report/labels.h"
#include "report/report_import.h"

struct SummaryItem {
    bool present = false;
    std::string value;  // UTF-8, without the blank that follows the label's colon
    bool pass = false;
};

// Only what the writers need: the file's text is gone once its row is made, so the memory
// held grows with the number of reports, not with their size.
struct SummaryRow {
    std::string path;  // as found, with forward slashes on every system
    std::array<SummaryItem, kResultItemCount> items;

    int FailedCount() const;  // items missing or not passing
    bool Fit() const { return FailedCount() == 0; }
};

struct SkippedFile {
    std::string path;
    std::string reason;
};

struct SiteSummary {
    std::vector<SummaryRow> rows;        // ordered by path
    std::vector<SkippedFile> skipped;    // ordered by path
};

// The path as the user will see it in every output. Forward slashes make the Windows and the
// Linux build write the same table for the same folder.
std::string DisplayPath(const std::filesystem::path& path);

// A parsed report as a row; nullopt when it holds no known label.
std::optional<SummaryRow> RowFromReport(const std::string& path, const ImportedReport& report);

// One file read into a row, or the reason it was skipped.
struct ReadResult {
    std::optional<SummaryRow> row;
    std::string reason;
};
ReadResult ReadReportFile(const std::filesystem::path& path);

// True for names ending in ".vkh" in any case.
bool HasReportName(const std::filesystem::path& path);

// Files given are read whatever their name; folders are searched recursively for report names.
// Links to folders are not followed, so a link back up the tree cannot make the walk endless.
SiteSummary SummariseReports(const std::vector<std::filesystem::path>& paths);

// 0 every file was read, 1 some were skipped, 2 nothing could be summarised.
int SummaryExitCode(const SiteSummary& summary);
