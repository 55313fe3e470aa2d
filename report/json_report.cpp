#include "report/json_report.h"

#include <nlohmann/json.hpp>

namespace {

// "Label:  value", as the listing writes it.
nlohmann::ordered_json SystemLine(const CString& line)
{
    const std::size_t colon = line.find(u":  ");
    nlohmann::ordered_json entry;
    entry["label"] = ToUtf8(colon == CString::npos ? line : line.substr(0, colon));
    entry["value"] = ToUtf8(colon == CString::npos ? CString() : line.substr(colon + 3));
    return entry;
}

}  // namespace

std::string ResultsJson(const CString& computer, const RunResults& results)
{
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    int failed = 0;
    for (std::size_t item = 0; item < results.items.size(); ++item) {
        const RunResults::Item& result = results.items[item];
        failed += result.pass || results.skipped[item] ? 0 : 1;
        nlohmann::ordered_json entry = {
            {"label", ToUtf8(kResultRows[item].label)}, {"value", ToUtf8(result.value)}, {"pass", result.pass}};
        // The site does not judge it: "pass" is the report's verdict, and neither "fit" nor
        // "failed" counts it.
        if (results.skipped[item])
            entry["judged"] = false;
        // Only on the items concerned, so the JSON of a run whose WMI answered stays as it was.
        if (result.timedOut)
            entry["timedOut"] = true;
        if (result.error)
            entry["error"] = ToUtf8(Format(u"0x%x", {*result.error}));
        items.push_back(std::move(entry));
    }
    nlohmann::ordered_json system = nlohmann::ordered_json::array();
    for (const CString& line : results.systemLines)
        system.push_back(SystemLine(line));

    nlohmann::ordered_json document;
    document["program"] = "Quor-kelvra";
    document["version"] = ToUtf8(kProgramVersion);
    document["computer"] = ToUtf8(computer);
    if (results.machine.empty())
        document["machine"] = nullptr;
    else
        document["machine"] = ToUtf8(results.machine);
    // null: some items were judged on WMI's errors and none failed on its value.
    switch (results.PcFitness()) {
    case Fitness::Fit: document["fit"] = true; break;
    case Fitness::Unfit: document["fit"] = false; break;
    case Fitness::Unknown: document["fit"] = nullptr; break;
    }
    document["failed"] = failed;
    // Only in Windows PE, so every other run's JSON stays as it was.
    if (results.windowsPe)
        document["windowsPe"] = true;
    document["items"] = std::move(items);
    document["system"] = std::move(system);
    return document.dump(2) + "\n";
}
