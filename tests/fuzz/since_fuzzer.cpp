// Feeds any bytes to --since as an earlier summary's JSON would reach it: the reader, the
// comparison of today's one PC with it, and all three writers with the gone PCs.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "summary/summary_writers.h"
#include "tests/fuzz/fuzz_check.h"

void FuzzSince(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    PreviousSummary previous;
    std::string why;
    if (!ReadPreviousSummary(in, previous, why)) {
        FUZZ_CHECK(!why.empty(), "an earlier summary was refused without a reason");
        return;
    }
    // Today's one PC is the first of the earlier ones, so that a comparison is made where there is one.
    const std::string key = previous.pcs.empty() ? std::string("pc.vkh") : std::string(previous.pcs.front().Key());
    ImportedReport report;
    report.rows[0] = {true, u" Microsoft Windows 7 Professional, 32-bit", true};
    std::optional<SummaryRow> row = RowFromReport("site/" + key, report);
    FUZZ_CHECK(row.has_value(), "a report with a value made no row");
    row->SetKeyFrom(5);
    SiteSummary summary;
    summary.rows.push_back(std::move(*row));
    CompareWithPrevious(summary, std::move(previous));
    CheckSummaryOutputs(summary);
    // What is written reads back, so the next week's summary can always be compared with it.
    std::istringstream again(SummaryJson(summary, 1));
    PreviousSummary written;
    FUZZ_CHECK(ReadPreviousSummary(again, written, why), "the summary's own JSON does not read back");
    FUZZ_CHECK(written.pcs.size() == 1 && written.pcs.front().Key() == PcKey(key), "the summary's own PC does not read back");
}

QK_FUZZER_ENTRY(FuzzSince)
