#include "summary/writers/csv_writer.h"

#include "summary/writers/text_forms.h"

CsvStream::CsvStream(std::ostream& out, bool since) : out_(out), since_(since)
{
    static const std::string header = [] {
        std::string line = "Report,Fit,Failed";
        for (std::size_t item = 0; item < kResultRows.size(); ++item)
            line += "," + CsvField(Label(item)) + "," + CsvField(Label(item) + " pass");
        return line;
    }();
    // Last, so that every column a script already reads keeps its place.
    out_ << header << ",Written,Judged on errors" << (since_ ? ",Change,Changed items" : "") << "\r\n";
}

void CsvStream::Row(const SummaryRow& row, const PcChange* change)
{
    const Fitness fitness = row.PcFitness();
    line_.clear();
    AppendCsvField(line_, row.Path());
    // Neither 1 nor 0 for a PC not known to be fit or unfit: a sum of the column counts fit PCs.
    line_ += fitness == Fitness::Fit ? ",1," : fitness == Fitness::Unfit ? ",0," : ",,";
    line_ += std::to_string(row.FailedCount());
    judged_.clear();
    for (std::size_t index = 0; index < kResultItemCount; ++index) {
        const SummaryItem item = row.Item(index);
        line_ += ',';
        AppendCsvField(line_, item.value);
        line_ += ',';
        if (!row.Judged(index))
            line_ += "skipped";
        else if (item.present)
            line_ += item.pass ? "1" : "0";
        if (row.Judged(index) && !row.Error(index).empty())
            judged_.append(judged_.empty() ? "" : "; ").append(Label(index));
    }
    line_ += ',';
    line_ += WrittenText(row);
    line_ += ',';
    AppendCsvField(line_, judged_);
    if (since_ && change) {
        line_.append(",").append(ChangeText(change->change)).append(",");
        AppendCsvField(line_, change->changedItems);
    }
    out_ << line_ << "\r\n";
}

void CsvStream::Gone(const PreviousSummary& previous)
{
    // Each PC gone since, or not read today: its report as the earlier summary named it, and how
    // it stood then.
    for (const PreviousPc& pc : previous.pcs) {
        if (pc.seen)
            continue;
        line_ = CsvField(pc.Report());
        line_ += pc.fitness == Fitness::Fit ? ",1," : pc.fitness == Fitness::Unfit ? ",0," : ",,";
        judged_.clear();
        for (std::size_t index = 0; index < kResultItemCount; ++index) {
            const ItemVerdict verdict = pc.items[index];
            line_ += verdict == ItemVerdict::Missing ? ",," : verdict == ItemVerdict::Pass ? ",,1" : ",,0";
            if (verdict == ItemVerdict::Unknown)
                judged_.append(judged_.empty() ? "" : "; ").append(Label(index));
        }
        out_ << line_ << ",," << CsvField(judged_) << (pc.unread ? ",not read,\r\n" : ",gone,\r\n");
    }
}
