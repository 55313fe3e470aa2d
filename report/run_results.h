// What one run found, as the report holds it: the lines of the report file, and the values the
// writers beside the report (the JSON, the clipboard) take from it.
#pragma once

#include <array>
#include <vector>

#include "report/labels.h"
#include "text/text.h"

struct RunResults {
    struct Item {
        CString value;  // as the report line holds it
        bool pass = false;
        bool timedOut = false;  // its WMI probe gave no answer within the deadline
    };
    bool ran = false;            // false when the version query failed and no probe ran
    bool reportWritten = false;  // the report was created and every line of it written
    std::vector<CString> systemLines;
    std::array<Item, kResultItemCount> items;

    bool AnyTimedOut() const;
};

// "Label: value", as the list shows an item and the report writes it before its verdict.
CString ItemLine(ResultItem item, const CString& value);
// The verdict that ends an item's report line: ":1" or ":0".
const char16_t* VerdictSuffix(bool pass);

// The report's lines as the run wrote them, verdicts included: what Copy puts on the clipboard.
std::vector<CString> ReportLines(const RunResults& results);
// Lines as a report file holds them, each followed by CR LF.
CString LinesText(const std::vector<CString>& lines);
