// A site summary whole in memory, for the tests and the fuzzers: the program itself streams every
// stage (summary/run.cpp) and keeps no copy of the site.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "summary/since/site_changes.h"
#include "summary/walk/walk.h"
#include "summary/writers/csv_writer.h"
#include "summary/writers/json_writer.h"
#include "summary/writers/page_writer.h"
#include "summary/writers/totals.h"

struct SiteSummary {
    std::vector<SummaryRow> rows;        // in the order the walk reads them
    std::vector<SkippedFile> skipped;    // ordered by path
    std::optional<SiteChanges> since;
};

// Compares every row with the earlier summary: each gets its change, and the earlier PCs not seen
// again are gone.
void CompareWithPrevious(SiteSummary& summary, PreviousSummary previous);

// Files given are read whatever their name; folders are searched recursively for report names.
// Links to folders inside them are not followed but named among the skipped; a folder or a file
// reached twice, by whatever name, counts once.
SiteSummary SummariseReports(const std::vector<std::filesystem::path>& paths);

// 0 every file was read, 1 some were skipped, 2 nothing could be summarised.
int SummaryExitCode(const SiteSummary& summary);

SiteTotals TotalsOf(const SiteSummary& summary);

// UTF-8, CR LF line ends, no byte-order mark (the caller adds it for a file).
void WriteSummaryCsv(const SiteSummary& summary, std::ostream& out);
// `now` (seconds since 1970) is the summary's date, which a later --since names; 0 writes none.
void WriteSummaryJson(const SiteSummary& summary, std::ostream& out, std::int64_t now = 0);
// `now` (seconds since 1970) says how old the oldest report is.
void WriteSummaryHtml(const SiteSummary& summary, std::int64_t now, std::ostream& out);

std::string SummaryCsv(const SiteSummary& summary);
std::string SummaryJson(const SiteSummary& summary, std::int64_t now = 0);
std::string SummaryHtml(const SiteSummary& summary, std::int64_t now = 0);
