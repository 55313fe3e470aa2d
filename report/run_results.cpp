#include "report/run_results.h"

Fitness FitnessOf(int failedOnValue, int judgedOnError)
{
    if (failedOnValue > 0)
        return Fitness::Unfit;
    return judgedOnError > 0 ? Fitness::Unknown : Fitness::Fit;
}

Fitness RunResults::PcFitness() const
{
    int failedOnValue = 0;
    int judgedOnError = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        if (skipped[i])
            continue;
        if (item.error)
            ++judgedOnError;
        else if (!item.pass)
            ++failedOnValue;
    }
    return FitnessOf(failedOnValue, judgedOnError);
}

CString ItemLine(ResultItem item, const CString& value)
{
    return Format(u"%s: %s", {kResultRows[item].label, value});
}

const char16_t* VerdictSuffix(bool pass)
{
    return pass ? u":1" : u":0";
}

std::vector<CString> ReportLines(const RunResults& results)
{
    std::vector<CString> lines = results.systemLines;
    if (!results.ran)
        return lines;
    for (int item = 0; item < kResultItemCount; ++item) {
        const RunResults::Item& shown = results.items[item];
        lines.push_back(ItemLine(static_cast<ResultItem>(item), shown.value) + VerdictSuffix(shown.pass));
    }
    return lines;
}

CString LinesText(const std::vector<CString>& lines)
{
    CString text;
    for (const CString& line : lines)
        text += line + u"\r\n";
    return text;
}
