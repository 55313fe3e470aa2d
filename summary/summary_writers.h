// The three forms of a site summary, each a pure function of the parsed rows.
#pragma once

#include <string>
#include <string_view>

#include "summary/site_summary.h"

// Spreadsheet programs take a CSV file for the local ANSI code page unless it starts with this.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// One CSV field, quoted when it holds a comma, a quote or a line end (RFC 4180).
std::string CsvField(std::string_view value);

// UTF-8, CR LF line ends, no byte-order mark (the caller adds it for a file).
std::string SummaryCsv(const SiteSummary& summary);

std::string SummaryJson(const SiteSummary& summary);

// Text for an element or a quoted attribute: a report is data, never markup.
std::string HtmlEscape(std::string_view text);

// One page with nothing fetched from elsewhere, so it can be sent by mail.
std::string SummaryHtml(const SiteSummary& summary);
