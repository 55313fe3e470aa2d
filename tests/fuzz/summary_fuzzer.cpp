// Feeds any bytes to the summary of one report, as a file in a site's folder would reach it: the
// import's parser, the row, and all three writers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "summary/in_memory.h"
#include "summary/writers/text_forms.h"
#include "tests/fuzz/fuzz_check.h"

void FuzzSummary(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    const ImportedReport report = ParseReport(ReportTextFromBytes(bytes), false);
    SiteSummary summary;
    if (std::optional<SummaryRow> row = RowFromReport("site/pc.vkh", report))
        summary.rows.push_back(std::move(*row));
    else
        summary.skipped.push_back({"site/pc.vkh", "holds no known report label"});
    CheckSummaryOutputs(summary);
}

QK_FUZZER_ENTRY(FuzzSummary)
