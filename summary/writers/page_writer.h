// The page: a chart and a table to send by mail, of at most kMaxPageRows PCs.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "summary/since/site_changes.h"
#include "summary/walk/walk.h"
#include "summary/writers/totals.h"

// The most PCs the page lists: a browser opens a table of this many rows in a few seconds, and
// one of 200,000 not at all. The CSV and the JSON always hold every row.
inline constexpr std::size_t kMaxPageRows = 10000;

// The rows the page lists: at most kMaxPageRows, unfit first, then unknown, then fit, each kind in
// the order read.
class PageRows {
public:
    void Add(const SummaryRow& row, const PcChange* change);

    struct Kept {
        SummaryRow row;
        PcChange change;
        bool hasChange = false;
    };
    std::vector<Kept> unfit_, unknown_, fit_;
};
// One page with nothing fetched from elsewhere, so it can be sent by mail. `now` (seconds since
// 1970) says how old the oldest report is.
void WritePage(const PageRows& rows, const SiteTotals& totals, const std::vector<SkippedFile>& skipped,
               const SiteChanges* since, std::int64_t now, std::ostream& out);

