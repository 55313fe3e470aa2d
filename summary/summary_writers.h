// The three forms of a site summary, each a pure function of the parsed rows, written as they go
// so that a site of any size needs no second copy of itself in memory.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "summary/site_summary.h"

// Spreadsheet programs take a CSV file for the local ANSI code page unless it starts with this.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The most PCs the page lists: a browser opens a table of this many rows in a few seconds, and
// one of 200,000 not at all. The CSV and the JSON always hold every row.
inline constexpr std::size_t kMaxPageRows = 10000;

// One CSV field, quoted when it holds a comma, a quote or a line end (RFC 4180). A value that a
// spreadsheet would take for a formula (starting with =, +, -, @, a tab or a CR) gets a leading '
// inside the quotes, so it shows as the text it is and never runs.
std::string CsvField(std::string_view value);

// ISO 8601, UTC, to the second: 2026-12-09T05:11:32Z.
std::string IsoTime(std::int64_t secondsSince1970);

// A JSON string literal, quotes included; invalid UTF-8 becomes U+FFFD, and controls (C0, DEL and
// C1) are escaped, so the JSON is safe on a terminal as it stands.
std::string JsonString(std::string_view text);

// Text for an element or a quoted attribute: a report is data, never markup.
std::string HtmlEscape(std::string_view text);

// The text with every control character a terminal would act on (all but tab and line ends)
// shown as an escape, for standard error and for a summary printed on a terminal.
std::string TerminalSafe(std::string_view text);

// What the counts and the chart are of: every PC, however many the page lists.
struct SiteTotals {
    std::size_t reports = 0;
    std::size_t fit = 0;
    std::size_t unknown = 0;
    std::array<std::size_t, kResultItemCount> failures{};  // PCs failing each item, a missing one too
    std::int64_t oldest = 0;                       // the earliest report's time; 0 when none is known
    void Add(const SummaryRow& row);
};
SiteTotals TotalsOf(const SiteSummary& summary);

// The outputs written as the reports are read, so that a site of any size needs no copy of itself
// in memory. `change` is the row's since an earlier summary, or null without one.
class CsvStream {
public:
    CsvStream(std::ostream& out, bool since);  // writes the header
    void Row(const SummaryRow& row, const PcChange* change);
    void Gone(const PreviousSummary& previous);  // the PCs gone since, last

private:
    std::ostream& out_;
    bool since_;
    std::string line_;
    std::string judged_;
};

class JsonStream {
public:
    // `now` (seconds since 1970) is the summary's date, which a later --since names; 0 writes none.
    JsonStream(std::ostream& out, std::int64_t now);
    void Row(const SummaryRow& row, const PcChange* change);
    void End(const std::vector<SkippedFile>& skipped, const SiteChanges* since, const SiteTotals& totals);

private:
    std::ostream& out_;
    std::string text_;
    bool first_ = true;
};

// The rows the page lists: at most kMaxPageRows, unfit first, then unknown, then fit, each kind in
// the order read.
class PageRows {
public:
    void Add(const SummaryRow& row, const PcChange* change);

    struct Kept {
        SummaryRow row;
        PcChange change;
        bool hasChange = false;
    };
    std::vector<Kept> unfit_, unknown_, fit_;
};
// One page with nothing fetched from elsewhere, so it can be sent by mail. `now` (seconds since
// 1970) says how old the oldest report is.
void WritePage(const PageRows& rows, const SiteTotals& totals, const std::vector<SkippedFile>& skipped,
               const SiteChanges* since, std::int64_t now, std::ostream& out);

// UTF-8, CR LF line ends, no byte-order mark (the caller adds it for a file).
void WriteSummaryCsv(const SiteSummary& summary, std::ostream& out);
// `now` (seconds since 1970) is the summary's date, which a later --since names; 0 writes none.
void WriteSummaryJson(const SiteSummary& summary, std::ostream& out, std::int64_t now = 0);
// One page with nothing fetched from elsewhere, so it can be sent by mail. `now` (seconds since
// 1970) says how old the oldest report is.
void WriteSummaryHtml(const SiteSummary& summary, std::int64_t now, std::ostream& out);

std::string SummaryCsv(const SiteSummary& summary);
std::string SummaryJson(const SiteSummary& summary, std::int64_t now = 0);
std::string SummaryHtml(const SiteSummary& summary, std::int64_t now = 0);
