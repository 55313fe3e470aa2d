// Feeds any bytes to the summary of one report, as a file in a site's folder would reach it: the
// import's parser, the row, and all three writers.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "summary/summary_writers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    const ImportedReport report = ParseReport(ReportTextFromBytes(bytes));
    SiteSummary summary;
    if (std::optional<SummaryRow> row = RowFromReport("site/pc.vkh", report))
        summary.rows.push_back(std::move(*row));
    else
        summary.skipped.push_back({"site/pc.vkh", "holds no known report label"});
    const std::string csv = SummaryCsv(summary);
    const std::string html = SummaryHtml(summary);
    SummaryJson(summary);
    // A report is data: no value may open an element of its own in the page, whose one script is
    // its own; no CSV cell may start a formula.
    const std::size_t script = html.find("<script");
    if (script == std::string::npos || html.find("<script", script + 1) != std::string::npos || csv.empty())
        __builtin_trap();
    for (std::size_t at = 0; (at = csv.find(',', at)) != std::string::npos; ++at) {
        if (at + 1 < csv.size() && std::string_view("=+-@\t").find(csv[at + 1]) != std::string_view::npos)
            __builtin_trap();
    }
    return 0;
}
