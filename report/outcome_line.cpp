#include "report/outcome_line.h"

#include <algorithm>
#include <vector>

#include "report/json_report.h"

namespace {

const char* const kHex = "0123456789abcdef";

// UTF-8 of `text` with C0, DEL and C1 controls (line ends and tabs among them) as \xNN.
std::string SafeText(const CString& text)
{
    CString shown;
    for (const char16_t unit : text) {
        if (unit < 0x20 || (unit >= 0x7f && unit < 0xa0)) {
            shown += u"\\x";
            shown.push_back(static_cast<char16_t>(kHex[unit >> 4]));
            shown.push_back(static_cast<char16_t>(kHex[unit & 0xf]));
        } else {
            shown.push_back(unit);
        }
    }
    return ToUtf8(shown);
}

std::string ItemText(std::size_t item, const RunResults::Item& result)
{
    const std::string label = ToUtf8(kResultRows[item].label);
    if (result.timedOut)
        return "WMI gave no answer in time for " + label;
    if (result.error)
        return "WMI failed for " + label + " (" + ToUtf8(Format(u"0x%x", {*result.error})) + ")";
    return result.value.empty() ? label : label + " " + SafeText(result.value);
}

// The longest start of `text` within `bytes` that ends on a whole UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80)
        --end;
    return text.substr(0, end);
}

CString Lowered(CString text)
{
    for (char16_t& unit : text)
        unit = unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
    return text;
}

}  // namespace

bool ItemsNamed(const CString& list, std::array<bool, kResultItemCount>& items, CString& unknown)
{
    items = {};
    for (std::size_t begin = 0;;) {
        std::size_t end = list.find(u',', begin);
        if (end == CString::npos)
            end = list.size();
        CString name = list.substr(begin, end - begin);
        name.erase(0, std::min(name.size(), name.find_first_not_of(u" \t")));
        name.erase(name.find_last_not_of(u" \t") + 1);
        bool known = false;
        for (std::size_t item = 0; item < kResultItemCount; ++item) {
            if (Lowered(name) == Lowered(kResultRows[item].label))
                items[item] = known = true;
        }
        if (!known) {
            unknown = name;
            return false;
        }
        if (end == list.size())
            return true;
        begin = end + 1;
    }
}

CString QuotedItemLabels()
{
    CString labels;
    for (std::size_t item = 0; item < kResultItemCount; ++item)
        labels += (item == 0 ? u"\"" : u", \"") + CString(kResultRows[item].label) + u"\"";
    return labels;
}

std::string OutcomeLine(const RunResults& results, const CString& notRun, std::size_t limit)
{
    if (!results.ran)
        return CutUtf8("Unknown: the check could not run: " + SafeText(notRun), limit);
    std::vector<std::string> failing, onErrors, notJudged;
    for (std::size_t item = 0; item < results.items.size(); ++item) {
        const RunResults::Item& result = results.items[item];
        if (results.skipped[item])
            notJudged.push_back(ToUtf8(kResultRows[item].label));
        else if (result.error)
            onErrors.push_back(ItemText(item, result));
        else if (!result.pass)
            failing.push_back(ItemText(item, result));
    }
    std::string line;
    std::vector<std::string> parts = failing;
    parts.insert(parts.end(), onErrors.begin(), onErrors.end());
    switch (results.PcFitness()) {
    case Fitness::Fit:
        line = notJudged.empty() ? "Fit: all " + std::to_string(kResultItemCount) + " items pass"
                                 : "Fit: all " + std::to_string(kResultItemCount - notJudged.size()) +
                                       " items judged pass";
        break;
    case Fitness::Unfit: line = "Unfit: "; break;
    case Fitness::Unknown: line = "Unknown: "; break;
    }
    if (!notJudged.empty()) {
        std::string skipped = "not judged: ";
        for (std::size_t i = 0; i < notJudged.size(); ++i)
            skipped += (i == 0 ? "" : ", ") + notJudged[i];
        if (results.windowsPe)
            skipped += " (Windows PE)";
        parts.push_back(skipped);
    }
    const bool fit = results.PcFitness() == Fitness::Fit;
    // Each part goes in whole while there is still room for the count of those after it.
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string separator = i == 0 ? (fit ? "; " : "") : "; ";
        const std::size_t rest = parts.size() - i - 1;
        const std::string more = rest == 0 ? "" : "; and " + std::to_string(rest) + " more";
        if (line.size() + separator.size() + parts[i].size() + more.size() <= limit) {
            line += separator + parts[i];
            continue;
        }
        // The first part alone is too long for the line: as much of it as fits, marked cut.
        const std::string all = "and " + std::to_string(parts.size() - i) + " more";
        if (i == 0) {
            const std::string tail = "...; and " + std::to_string(rest) + " more";
            const std::string cutTail = rest == 0 ? "..." : tail;
            if (line.size() + separator.size() + cutTail.size() < limit) {
                line += separator + CutUtf8(parts[i], limit - line.size() - separator.size() - cutTail.size()) + cutTail;
                return line;
            }
        }
        line += (i == 0 && !fit ? "" : "; ") + all;
        return CutUtf8(line, limit);
    }
    return line;
}

namespace {

// At most kRegistryValueLimit units, never half of a surrogate pair.
CString RegistryText(const CString& text)
{
    if (text.size() <= kRegistryValueLimit)
        return text;
    std::size_t end = kRegistryValueLimit;
    if (text[end] >= 0xDC00 && text[end] <= 0xDFFF)
        --end;
    return text.substr(0, end);
}

// The labels of the items that fail (on their values or on errors) and of those not judged, each
// list separated by "; ".
struct ItemLabels {
    CString failing, notJudged;
};

ItemLabels LabelsOf(const RunResults& results)
{
    ItemLabels labels;
    for (std::size_t item = 0; item < results.items.size(); ++item) {
        CString& list = results.skipped[item] ? labels.notJudged : labels.failing;
        if (results.skipped[item] || !results.items[item].pass)
            list += (list.empty() ? u"" : u"; ") + CString(kResultRows[item].label);
    }
    return labels;
}

}  // namespace

std::vector<std::pair<CString, CString>> OutcomeValues(const RunResults& results, const CString& notRun,
                                                       const CString& now)
{
    CString fitness = u"unknown";
    if (results.ran && results.PcFitness() == Fitness::Fit)
        fitness = u"fit";
    else if (results.ran && results.PcFitness() == Fitness::Unfit)
        fitness = u"unfit";
    const ItemLabels labels = results.ran ? LabelsOf(results) : ItemLabels{};
    std::vector<std::pair<CString, CString>> items;
    for (std::size_t item = 0; item < results.items.size(); ++item) {
        const RunResults::Item& result = results.items[item];
        const CString label = kResultRows[item].label;
        const char16_t* verdict = !results.ran        ? u"not checked"
                                  : results.skipped[item] ? u"not judged"
                                  : result.error      ? u"error"
                                  : result.pass       ? u"pass"
                                                      : u"fail";
        items.emplace_back(label, RegistryText(result.value));
        items.emplace_back(label + u" Verdict", verdict);
    }
    std::vector<std::pair<CString, CString>> values = {
        {u"Fitness", fitness},
        {u"Failing", RegistryText(labels.failing)},
        {u"Not Judged", RegistryText(labels.notJudged)},
        {u"Line", FromUtf8(OutcomeLine(results, notRun, kRegistryValueLimit))},
        {u"Version", kProgramVersion},
    };
    values.insert(values.end(), items.begin(), items.end());
    values.emplace_back(kRunTimeValue, now);
    return values;
}

OutcomeEvent OutcomeEventOf(const RunResults& results, const CString& notRun)
{
    const auto [failing, notJudged] = LabelsOf(results);
    const CString line = FromUtf8(OutcomeLine(results, notRun));
    if (!results.ran || !results.reportWritten)
        return {kEventNoReport, EventKind::Error, {line, notRun.empty() ? CString(u"the check could not run") : notRun, notJudged}};
    switch (results.PcFitness()) {
    case Fitness::Fit: return {kEventFit, EventKind::Information, {line, failing, notJudged}};
    case Fitness::Unfit: return {kEventUnfit, EventKind::Warning, {line, failing, notJudged}};
    case Fitness::Unknown: break;
    }
    return {kEventUnknown, EventKind::Warning, {line, failing, notJudged}};
}
