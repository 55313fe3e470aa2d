// Today's site against an earlier summary of it, counted as the rows go by.
#pragma once

#include <array>

#include "summary/since/since.h"
#include "summary/walk/walk.h"

// Today's site against an earlier summary of it.
struct SiteChanges {
    PreviousSummary previous;         // its PCs marked as seen where they are still there
    std::vector<PcChange> changes;    // one per row, in the rows' order, when the rows are kept
    std::array<long long, kChangeCount> counts{};  // by Change, the gone PCs among them

    // Today's row against its earlier self, counted.
    PcChange Compare(const SummaryRow& row);
    // The earlier PCs that a file or folder skipped today names (SkippedFile::unread, a path
    // shown for a summary keyed by reports): not read, rather than gone.
    void NotRead(const SkippedFile& skipped);
    // The earlier PCs not seen again, counted as gone or not read: once every row has been compared.
    void CountGone();
};
