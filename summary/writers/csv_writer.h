// The table as CSV, a row at a time.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "summary/since/since.h"
#include "summary/walk/summary_row.h"

// Spreadsheet programs take a CSV file for the local ANSI code page unless it starts with this.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The CSV, written as the reports are read, so that a site of any size needs no copy of itself in
// memory. `change` is the row's since an earlier summary, or null without one. UTF-8, CR LF line
// ends, no byte-order mark (a file gets one first).
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

