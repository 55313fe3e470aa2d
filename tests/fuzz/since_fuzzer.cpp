// Feeds any bytes to --since as an earlier summary's JSON would reach it: the reader, the
// comparison of today's one PC with it, and all three writers with the gone PCs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "summary/in_memory.h"
#include "summary/writers/text_forms.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Reads `json` whole and a few bytes at a time, which must come to the same: a text, an escape or
// a UTF-8 sequence that spans two blocks is read as if it did not.
bool ReadBothWays(const std::string& json, std::size_t smallBlock, PreviousSummary& previous, std::string& why)
{
    std::istringstream whole(json), inBlocks(json);
    PreviousSummary blocked;
    std::string blockedWhy;
    const bool read = ReadPreviousSummary(whole, previous, why, json.size() + 1);
    FUZZ_CHECK(ReadPreviousSummary(inBlocks, blocked, blockedWhy, smallBlock) == read && blockedWhy == why,
               "a summary read in small blocks is judged otherwise");
    FUZZ_CHECK(blocked.pcs.size() == previous.pcs.size() && blocked.date == previous.date &&
                   blocked.keyedByReport == previous.keyedByReport,
               "a summary read in small blocks holds other PCs");
    for (std::size_t p = 0; p < previous.pcs.size() && p < blocked.pcs.size(); ++p) {
        const PreviousPc& a = previous.pcs[p];
        const PreviousPc& b = blocked.pcs[p];
        FUZZ_CHECK(a.Key() == b.Key() && a.Pc() == b.Pc() && a.Report() == b.Report() && a.fitness == b.fitness &&
                       a.items == b.items,
                   "a PC read in small blocks is another");
    }
    if (!read)
        return false;
    // The totals compared with are the PCs', whatever the file said.
    FUZZ_CHECK(previous.reports == static_cast<long long>(previous.pcs.size()) &&
                   previous.fit == std::count_if(previous.pcs.begin(), previous.pcs.end(),
                                                 [](const PreviousPc& pc) { return pc.fitness == Fitness::Fit; }) &&
                   previous.unknown ==
                       std::count_if(previous.pcs.begin(), previous.pcs.end(),
                                     [](const PreviousPc& pc) { return pc.fitness == Fitness::Unknown; }),
               "an earlier summary's totals are not its PCs'");
    FUZZ_CHECK(std::adjacent_find(previous.pcs.begin(), previous.pcs.end(),
                                  [](const PreviousPc& a, const PreviousPc& b) { return a.Key() >= b.Key(); }) ==
                   previous.pcs.end(),
               "an earlier summary's PCs are not ordered by key, each once");
    return true;
}

}  // namespace

void FuzzSince(const std::uint8_t* data, std::size_t size)
{
    const std::string json(reinterpret_cast<const char*>(data), size);
    const std::size_t smallBlock = 1 + (size == 0 ? 0 : data[size - 1] % 23);
    PreviousSummary previous;
    std::string why;
    if (!ReadBothWays(json, smallBlock, previous, why)) {
        FUZZ_CHECK(!why.empty(), "an earlier summary was refused without a reason");
        return;
    }
    // Today's one PC is the first of the earlier ones, so that a comparison is made where there is one.
    const std::string key = previous.pcs.empty() ? std::string("pc.vkh") : std::string(previous.pcs.front().Key());
    ImportedReport report;
    report.rows[0] = {true, u" Microsoft Windows 7 Professional, 32-bit", true};
    // Now and then a value longer than any PC's name, as a report of a megabyte can hold: the
    // summary written with it must still read back.
    if (size % 32 == 7)
        report.rows[kItemUserName] = {true, u" " + CString(70000, u'\u00e9'), true};
    std::optional<SummaryRow> row = RowFromReport("site/" + key, report);
    FUZZ_CHECK(row.has_value(), "a report with a value made no row");
    row->SetKeyFrom(5);
    SiteSummary summary;
    summary.rows.push_back(std::move(*row));
    CompareWithPrevious(summary, std::move(previous));
    CheckSummaryOutputs(summary);
    // What is written reads back, so the next week's summary can always be compared with it.
    PreviousSummary written;
    // In blocks that a long value spans many of, but not thousands.
    FUZZ_CHECK(ReadBothWays(SummaryJson(summary, 1), smallBlock * 97, written, why),
               "the summary's own JSON does not read back");
    FUZZ_CHECK(written.pcs.size() == 1 && written.pcs.front().Key() == PcKey(key), "the summary's own PC does not read back");
}

QK_FUZZER_ENTRY(FuzzSince)
