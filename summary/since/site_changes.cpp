#include "summary/since/site_changes.h"

#include <algorithm>

PcChange SiteChanges::Compare(const SummaryRow& row)
{
    std::array<ItemVerdict, kResultItemCount> verdicts{};
    for (std::size_t item = 0; item < kResultItemCount; ++item)
        verdicts[item] = row.Verdict(item);
    // A summary from before PCs had names knows each by its report's path as it was shown.
    PcChange change = ComparePc(previous, previous.keyedByReport ? row.Path() : row.Key(), row.PcFitness(), verdicts);
    ++counts[static_cast<std::size_t>(change.change)];
    return change;
}

void SiteChanges::NotRead(const SkippedFile& skipped)
{
    if (!skipped.unread)
        return;
    const std::string& below = *skipped.unread;
    const bool folder = below.empty() || below.back() == '/';
    std::string wanted = previous.keyedByReport ? skipped.path : below;
    if (previous.keyedByReport && folder && (wanted.empty() || wanted.back() != '/'))
        wanted += '/';
    wanted = PcKey(wanted);
    const auto within = [&](const PreviousPc& pc) {
        return folder ? pc.Key().compare(0, wanted.size(), wanted) == 0 : pc.Key() == wanted;
    };
    auto pc = std::lower_bound(previous.pcs.begin(), previous.pcs.end(), wanted,
                               [](const PreviousPc& p, const std::string& key) { return p.Key() < key; });
    for (; pc != previous.pcs.end() && within(*pc); ++pc)
        pc->unread = true;
}

void SiteChanges::CountGone()
{
    for (const PreviousPc& pc : previous.pcs) {
        if (!pc.seen)
            ++counts[static_cast<std::size_t>(pc.unread ? Change::NotRead : Change::Gone)];
    }
}
