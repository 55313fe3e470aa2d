#include "summary/in_memory.h"

#include <algorithm>
#include <streambuf>

namespace fs = std::filesystem;

SiteSummary SummariseReports(const std::vector<fs::path>& paths)
{
    SiteSummary summary;
    WalkReports(
        LookAtInputs(paths),
        [&summary](std::vector<SummaryRow>& rows) {
            for (SummaryRow& row : rows)
                summary.rows.push_back(std::move(row));
        },
        [&summary](SkippedFile file) { summary.skipped.push_back(std::move(file)); });
    std::stable_sort(summary.skipped.begin(), summary.skipped.end(),
                     [](const SkippedFile& a, const SkippedFile& b) { return a.path < b.path; });
    return summary;
}

void CompareWithPrevious(SiteSummary& summary, PreviousSummary previous)
{
    SiteChanges& changes = summary.since.emplace();
    changes.previous = std::move(previous);
    changes.changes.reserve(summary.rows.size());
    for (const SummaryRow& row : summary.rows)
        changes.changes.push_back(changes.Compare(row));
    changes.CountGone();
}

int SummaryExitCode(const SiteSummary& summary)
{
    return SummaryExitCode(summary.rows.size(), summary.skipped.size());
}


SiteTotals TotalsOf(const SiteSummary& summary)
{
    SiteTotals totals;
    for (const SummaryRow& row : summary.rows)
        totals.Add(row);
    return totals;
}

void WriteSummaryCsv(const SiteSummary& summary, std::ostream& out)
{
    CsvStream csv(out, summary.since.has_value());
    for (std::size_t r = 0; r < summary.rows.size(); ++r)
        csv.Row(summary.rows[r], summary.since ? &summary.since->changes[r] : nullptr);
    if (summary.since)
        csv.Gone(summary.since->previous);
}

void WriteSummaryJson(const SiteSummary& summary, std::ostream& out, std::int64_t now)
{
    JsonStream json(out, now);
    for (std::size_t r = 0; r < summary.rows.size(); ++r)
        json.Row(summary.rows[r], summary.since ? &summary.since->changes[r] : nullptr);
    json.End(summary.skipped, summary.since ? &*summary.since : nullptr, TotalsOf(summary));
}

void WriteSummaryHtml(const SiteSummary& summary, std::int64_t now, std::ostream& out)
{
    PageRows rows;
    for (std::size_t r = 0; r < summary.rows.size(); ++r)
        rows.Add(summary.rows[r], summary.since ? &summary.since->changes[r] : nullptr);
    WritePage(rows, TotalsOf(summary), summary.skipped, summary.since ? &*summary.since : nullptr, now, out);
}

namespace {

// An output stream that writes straight into a string: ostringstream grows a buffer of its own and
// copies it out at the end, and the fuzzers write the three outputs for each of millions of inputs.
class StringBuffer : public std::streambuf {
public:
    std::string text;

protected:
    std::streamsize xsputn(const char* from, std::streamsize count) override
    {
        text.append(from, static_cast<std::size_t>(count));
        return count;
    }
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            text.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
};

}  // namespace

std::string SummaryCsv(const SiteSummary& summary)
{
    StringBuffer buffer;
    std::ostream out(&buffer);
    WriteSummaryCsv(summary, out);
    return std::move(buffer.text);
}

std::string SummaryJson(const SiteSummary& summary, std::int64_t now)
{
    StringBuffer buffer;
    std::ostream out(&buffer);
    WriteSummaryJson(summary, out, now);
    return std::move(buffer.text);
}

std::string SummaryHtml(const SiteSummary& summary, std::int64_t now)
{
    StringBuffer buffer;
    std::ostream out(&buffer);
    WriteSummaryHtml(summary, now, out);
    return std::move(buffer.text);
}

