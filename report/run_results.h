// What one run found, as the report holds it: the lines of the report file, and the values the
// writers beside the report (the JSON, the clipboard) take from it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "report/labels.h"
#include "text/text.h"

// Whether a PC is fit. An item judged on an error ("Error 0x..." from WMI) says nothing of the PC:
// a PC none of whose items fails on a value, but some of whose items were judged on errors, is not
// known to be fit or unfit.
enum class Fitness { Fit, Unfit, Unknown };

// Unfit when any item fails on a value; otherwise unknown when any was judged on an error. Items
// not judged count for neither.
Fitness FitnessOf(int failedOnValue, int judgedOnError);

struct RunResults {
    struct Item {
        CString value;  // as the report line holds it
        bool pass = false;
        bool timedOut = false;  // its WMI probe gave no answer within the deadline
        // The WMI status the item's value shows as "Error 0x...": it was judged on that error.
        std::optional<std::uint32_t> error;
    };
    bool ran = false;            // false when the version query failed and no probe ran
    bool reportWritten = false;  // the report was created and every line of it written
    std::vector<CString> systemLines;
    std::array<Item, kResultItemCount> items;

    // The native machine, as the JSON names it: "x86", "x64", "arm64"...
    CString machine;

    // Items the site does not judge (/skip): their report lines stay as the run wrote them, and
    // the PC's fitness, the exit code and what is written beside the report leave them out.
    std::array<bool, kResultItemCount> skipped{};
    // The run was in Windows PE: the items that describe the running system are not judged.
    bool windowsPe = false;

    Fitness PcFitness() const;
};

// "Label: value", as the list shows an item and the report writes it before its verdict.
CString ItemLine(ResultItem item, const CString& value);
// The verdict that ends an item's report line: ":1" or ":0".
const char16_t* VerdictSuffix(bool pass);

// The report's lines as the run wrote them, verdicts included: what Copy puts on the clipboard.
std::vector<CString> ReportLines(const RunResults& results);
// Lines as a report file holds them, each followed by CR LF.
CString LinesText(const std::vector<CString>& lines);
