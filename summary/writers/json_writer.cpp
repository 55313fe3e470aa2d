#include "summary/writers/json_writer.h"

#include "summary/writers/text_forms.h"

namespace {

const char* FitJson(Fitness fitness)
{
    return fitness == Fitness::Fit ? "true" : fitness == Fitness::Unfit ? "false" : "null";
}

// The comparison's totals: the earlier summary's date and counts, and how many PCs changed how.
void WriteSinceJson(const SiteChanges& since, std::ostream& out)
{
    const PreviousSummary& previous = since.previous;
    out << "  \"since\": {\n    \"date\": " << (previous.date.empty() ? std::string("null") : JsonString(previous.date))
        << ",\n    \"totals\": { \"reports\": " << previous.reports << ", \"fit\": " << previous.fit
        << ", \"unknown\": " << previous.unknown << " }";
    static const char* const kKeys[kChangeCount] = {"new", "gone", "becameFit", "becameUnfit", "becameUnknown",
                                                     "unchanged", "notRead"};
    for (int change = 0; change < kChangeCount; ++change)
        out << ",\n    \"" << kKeys[change] << "\": " << since.counts[static_cast<std::size_t>(change)];
    out << "\n  },\n";
    // The gone PCs, then those not read today (a report or folder that could not be read).
    for (const bool unread : {false, true}) {
        out << (unread ? "  \"notRead\": [" : "  \"gone\": [");
        bool first = true;
        for (const PreviousPc& pc : previous.pcs) {
            if (pc.seen || pc.unread != unread)
                continue;
            out << (first ? "\n" : ",\n") << "    { \"report\": " << JsonString(pc.Report())
                << ", \"pc\": " << JsonString(pc.Pc()) << ", \"fit\": " << FitJson(pc.fitness) << " }";
            first = false;
        }
        out << (first ? "],\n" : "\n  ],\n");
    }
}

}  // namespace

JsonStream::JsonStream(std::ostream& out, std::int64_t now) : out_(out)
{
    // What a later --since reads first: whose summary this is, of which format, and when.
    out_ << "{\n  \"program\": \"quor-kelvra-summary\",\n  \"format\": " << kSummaryFormat << ",\n  \"date\": "
         << (now != 0 ? JsonString(IsoTime(now)) : std::string("null")) << ",\n  \"reports\": [";
}

void JsonStream::Row(const SummaryRow& row, const PcChange* change)
{
    std::string& text = text_;
    text.assign(first_ ? "\n" : ",\n");
    first_ = false;
    text += "    {\n      \"report\": ";
    AppendJson(text, row.Path());
    text += ",\n      \"pc\": ";
    AppendJson(text, row.Key());
    text += ",\n      \"written\": ";
    if (row.Written() != 0)
        AppendJson(text, IsoTime(row.Written()));
    else
        text += "null";
    text += ",\n      \"fit\": ";
    text += FitJson(row.PcFitness());
    text += ",\n      \"failed\": ";
    text += std::to_string(row.FailedCount());
    text += ",\n      \"items\": [";
    for (std::size_t index = 0; index < kResultItemCount; ++index) {
        const SummaryItem item = row.Item(index);
        text += index == 0 ? "\n" : ",\n";
        text += Labels().jsonItemStart[index];
        if (item.present)
            AppendJson(text, item.value);
        else
            text += "null";
        text += !item.present ? ", \"pass\": null" : item.pass ? ", \"pass\": true" : ", \"pass\": false";
        // "pass" stays the report's verdict; neither "fit" nor "failed" counts the item.
        if (!row.Judged(index))
            text += ", \"judged\": false";
        const std::string_view error = row.Error(index);
        if (!error.empty()) {
            text += ", \"error\": ";
            AppendJson(text, error);
        }
        text += " }";
    }
    text += "\n      ]";
    if (change) {
        text += ",\n      \"change\": \"";
        text += ChangeText(change->change);
        text += "\",\n      \"changedItems\": [";
        for (std::size_t from = 0; from < change->changedItems.size();) {
            std::size_t to = change->changedItems.find("; ", from);
            if (to == std::string::npos)
                to = change->changedItems.size();
            text += from == 0 ? "" : ", ";
            AppendJson(text, std::string_view(change->changedItems).substr(from, to - from));
            from = to + 2;
        }
        text += "]";
    }
    text += "\n    }";
    out_ << text;
}

void JsonStream::End(const std::vector<SkippedFile>& skipped, const SiteChanges* since, const SiteTotals& totals)
{
    out_ << (first_ ? "],\n  \"skipped\": [" : "\n  ],\n  \"skipped\": [");
    for (std::size_t s = 0; s < skipped.size(); ++s) {
        const SkippedFile& file = skipped[s];
        out_ << (s == 0 ? "\n" : ",\n") << "    { \"path\": " << JsonString(file.path)
             << ", \"reason\": " << JsonString(file.reason) << " }";
    }
    out_ << (skipped.empty() ? "],\n" : "\n  ],\n");
    if (since)
        WriteSinceJson(*since, out_);
    out_ << "  \"totals\": {\n    \"reports\": " << totals.reports << ",\n    \"fit\": " << totals.fit
         << ",\n    \"unknown\": " << totals.unknown << ",\n    \"oldestWritten\": "
         << (totals.oldest != 0 ? JsonString(IsoTime(totals.oldest)) : std::string("null")) << ",\n    \"failing\": {";
    for (std::size_t item = 0; item < totals.failures.size(); ++item)
        out_ << (item == 0 ? "\n" : ",\n") << "      " << Labels().json[item] << ": " << totals.failures[item];
    out_ << "\n    }\n  }\n}\n";
}
