// The checks of what the summary writes, for the summary's fuzzer and the earlier summary's.
#include <string_view>
#include <vector>

#include "summary/in_memory.h"
#include "summary/writers/text_forms.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The first character of each cell, the CSV read as a spreadsheet reads it: a quoted cell runs to
// its closing quote, commas and line ends in it included, and "" in it is one quote.
std::vector<char> CellStarts(std::string_view csv)
{
    std::vector<char> starts;
    for (std::size_t at = 0; at <= csv.size();) {
        if (at < csv.size() && csv[at] == '"') {
            std::size_t end = at + 1;
            while (end < csv.size() && !(csv[end] == '"' && (end + 1 >= csv.size() || csv[end + 1] != '"')))
                end += csv[end] == '"' ? 2 : 1;
            starts.push_back(at + 1 < end ? csv[at + 1] : '\0');
            at = end + 1;
        } else {
            std::size_t end = at;
            while (end < csv.size() && csv[end] != ',' && csv[end] != '\r' && csv[end] != '\n')
                ++end;
            starts.push_back(end > at ? csv[at] : '\0');
            at = end;
        }
        // Past the separator: a comma, or the CR LF that ends a row.
        if (at < csv.size() && csv[at] == '\r')
            ++at;
        ++at;
    }
    return starts;
}

}  // namespace

void CheckSummaryOutputs(const SiteSummary& summary)
{
    const std::string csv = SummaryCsv(summary);
    const std::string html = SummaryHtml(summary);
    SummaryJson(summary);
    // A report is data: no value may open an element of its own in the page, whose one script is
    // its own; no CSV cell may start a formula.
    const std::size_t script = html.find("<script");
    FUZZ_CHECK(script != std::string::npos && html.find("<script", script + 1) == std::string::npos,
               "the page holds a script other than its own");
    FUZZ_CHECK(!csv.empty(), "the CSV is empty");
    for (const char start : CellStarts(csv))
        FUZZ_CHECK(start == '\0' || std::string_view("=+-@\t\r").find(start) == std::string_view::npos,
                   "a CSV cell starts a formula");
}
