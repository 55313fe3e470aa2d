// Reading a report back: the text of its bytes, its lines and tokens, and what the dialog shows
// of it. Reports come from other PCs, so nothing here trusts the file.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "report/labels.h"
#include "text/text.h"

// Anything larger cannot be a report (a complete one is about 2 KB); refusing it keeps a wrong
// choice of file from exhausting memory or freezing the dialog.
inline constexpr std::int64_t kMaxReportBytes = 1024 * 1024;

// The UTF-16LE text of a file's bytes: a final odd byte is ignored and the text ends at the first
// NUL code unit.
CString ReportTextFromBytes(const std::vector<std::uint8_t>& bytes);
// The same into `text`, whose room is kept: the site summary reads hundreds of thousands of reports.
void ReportTextFromBytes(const std::uint8_t* bytes, std::size_t size, CString& text);

// Lines are separated by runs of CR and LF, so no line is empty.
std::vector<CString> SplitReportLines(const CString& text);

// Tokens are maximal runs of characters other than the colon: label, value, verdict, ignored rest.
std::vector<CString> SplitReportTokens(const CString& line);

struct ImportedRow {
    bool present = false;
    CString value;  // with the blank that follows the label's colon
    bool pass = false;
};

struct ImportedReport {
    std::vector<CString> listLines;  // label, colon and value of every line, in file order
    std::array<ImportedRow, kResultItemCount> rows;
};

// A line with a known label but no value sets no row: such a line is never written by the check
// run, and a row without a value is shown as missing.
// `withListLines` false leaves listLines empty: the site summary needs only the rows, from the
// same reading of each line.
ImportedReport ParseReport(const CString& text, bool withListLines = true);

// The lines ParseReport takes for result rows, in file order, as views into `text`: a later line
// of the same item replaces an earlier one. The site summary reads its rows through this, so a
// file means the same thing there as in the dialog. `value` has the blank after the colon.
using ResultLineSink = void (*)(void* context, std::size_t item, std::u16string_view value, bool pass);
void ForEachResultLine(std::u16string_view text, ResultLineSink sink, void* context);

// PathTooLong: the open-file dialog could not hand over a path longer than its 255 characters.
enum class ImportOutcome { Shown, CannotOpen, TooLarge, ReadFailed, PathTooLong };

// The chosen file's bytes, whole, or why there are none: Shown when `bytes` holds them.
ImportOutcome ReadReportBytes(Platform& platform, const CString& path, std::vector<std::uint8_t>& bytes);

// The message box text for an import that failed; empty for one that was shown.
CString ImportMessage(ImportOutcome outcome, const CString& path);
