#include "summary/writers/totals.h"

void SiteTotals::Add(const SummaryRow& row)
{
    ++reports;
    const Fitness fitness = row.PcFitness();
    fit += fitness == Fitness::Fit ? 1 : 0;
    unknown += fitness == Fitness::Unknown ? 1 : 0;
    // A missing item counts as a fail; an item the site does not judge, as nothing.
    for (std::size_t item = 0; item < kResultItemCount; ++item)
        failures[item] += !row.Judged(item) || (row.Item(item).present && row.Item(item).pass) ? 0 : 1;
    if (row.Written() != 0 && (oldest == 0 || row.Written() < oldest))
        oldest = row.Written();
}
