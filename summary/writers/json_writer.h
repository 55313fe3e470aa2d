// The table as JSON, a row at a time: what a later --since reads back.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "summary/since/site_changes.h"
#include "summary/walk/walk.h"
#include "summary/writers/totals.h"

class JsonStream {
public:
    // `now` (seconds since 1970) is the summary's date, which a later --since names; 0 writes none.
    JsonStream(std::ostream& out, std::int64_t now);
    void Row(const SummaryRow& row, const PcChange* change);
    void End(const std::vector<SkippedFile>& skipped, const SiteChanges* since, const SiteTotals& totals);

private:
    std::ostream& out_;
    std::string text_;
    bool first_ = true;
};

