// What the counts and the chart are of, added up as the rows go by.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "summary/walk/summary_row.h"

// What the counts and the chart are of: every PC, however many the page lists.
struct SiteTotals {
    std::size_t reports = 0;
    std::size_t fit = 0;
    std::size_t unknown = 0;
    std::array<std::size_t, kResultItemCount> failures{};  // PCs failing each item, a missing one too
    std::int64_t oldest = 0;                       // the earliest report's time; 0 when none is known
    std::uint16_t notJudged = 0;                   // the items the site does not judge (--skip)
    void Add(const SummaryRow& row);
};

