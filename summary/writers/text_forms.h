// The texts every output is made of: a report's values are data, never markup, a formula or an
// escape sequence, in whichever form they are written.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "summary/walk/summary_row.h"

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

// The same, appended in place: a site's outputs are millions of fields, each record built in one
// reused buffer.
void AppendCsvField(std::string& to, std::string_view value);
void AppendJson(std::string& to, std::string_view text);
void AppendHtml(std::string& to, std::string_view text);

// Each item's label as every output writes it, made once: every row of every output names its items.
struct LabelForms {
    std::array<std::string, kResultItemCount> plain, html, json, jsonItemStart;
};
const LabelForms& Labels();
const std::string& Label(std::size_t item);

// When the row's report was written, ISO 8601; empty when it is not known.
std::string WrittenText(const SummaryRow& row);
