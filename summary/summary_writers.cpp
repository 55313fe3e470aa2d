#include "summary/summary_writers.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

std::string Label(std::size_t item)
{
    return ToUtf8(kResultRows[item].label);
}

// How many reports fail each item, a missing item counting as a fail.
std::array<int, kResultItemCount> FailuresPerItem(const SiteSummary& summary)
{
    std::array<int, kResultItemCount> failures{};
    for (const SummaryRow& row : summary.rows)
        for (std::size_t item = 0; item < row.items.size(); ++item)
            failures[item] += row.items[item].present && row.items[item].pass ? 0 : 1;
    return failures;
}

int FitCount(const SiteSummary& summary)
{
    return static_cast<int>(
        std::count_if(summary.rows.begin(), summary.rows.end(), [](const SummaryRow& row) { return row.Fit(); }));
}

}  // namespace

std::string CsvField(std::string_view value)
{
    if (value.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(value);
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string SummaryCsv(const SiteSummary& summary)
{
    std::string csv = "Report,Fit,Failed";
    for (std::size_t item = 0; item < kResultRows.size(); ++item)
        csv += "," + CsvField(Label(item)) + "," + CsvField(Label(item) + " pass");
    csv += "\r\n";
    for (const SummaryRow& row : summary.rows) {
        csv += CsvField(row.path);
        csv += row.Fit() ? ",1," : ",0,";
        csv += std::to_string(row.FailedCount());
        for (const SummaryItem& item : row.items) {
            csv += "," + CsvField(item.value) + ",";
            if (item.present)
                csv += item.pass ? "1" : "0";
        }
        csv += "\r\n";
    }
    return csv;
}

std::string SummaryJson(const SiteSummary& summary)
{
    using Json = nlohmann::ordered_json;
    Json reports = Json::array();
    for (const SummaryRow& row : summary.rows) {
        Json items = Json::array();
        for (std::size_t item = 0; item < row.items.size(); ++item) {
            const SummaryItem& value = row.items[item];
            items.push_back({{"label", Label(item)},
                             {"value", value.present ? Json(value.value) : Json(nullptr)},
                             {"pass", value.present ? Json(value.pass) : Json(nullptr)}});
        }
        reports.push_back({{"report", row.path}, {"fit", row.Fit()}, {"failed", row.FailedCount()},
                           {"items", std::move(items)}});
    }
    Json skipped = Json::array();
    for (const SkippedFile& file : summary.skipped)
        skipped.push_back({{"path", file.path}, {"reason", file.reason}});

    Json failing = Json::object();
    const std::array<int, kResultItemCount> failures = FailuresPerItem(summary);
    for (std::size_t item = 0; item < failures.size(); ++item)
        failing[Label(item)] = failures[item];

    Json document;
    document["reports"] = std::move(reports);
    document["skipped"] = std::move(skipped);
    document["totals"] = {{"reports", summary.rows.size()}, {"fit", FitCount(summary)}, {"failing", std::move(failing)}};
    // A Linux file name need not be UTF-8; it is shown with U+FFFD rather than failing the run.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string HtmlEscape(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

namespace {

constexpr const char* kPassColour = "#c6efce";
constexpr const char* kFailColour = "#ffc7ce";
constexpr const char* kMissingColour = "#e0e0e0";

// Horizontal bars, one per item, as long as the share of PCs failing it.
std::string FailureChart(const SiteSummary& summary)
{
    const std::array<int, kResultItemCount> failures = FailuresPerItem(summary);
    const int labelWidth = 230, barWidth = 520, rowHeight = 26;
    const int height = rowHeight * kResultItemCount + 10;
    const int total = std::max<int>(1, static_cast<int>(summary.rows.size()));
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(labelWidth + barWidth + 60) +
                      "\" height=\"" + std::to_string(height) + "\" role=\"img\" aria-label=\"PCs failing each item\">\n";
    for (std::size_t item = 0; item < failures.size(); ++item) {
        const int y = 5 + static_cast<int>(item) * rowHeight;
        const int width = failures[item] * barWidth / total;
        svg += "<text x=\"" + std::to_string(labelWidth - 8) + "\" y=\"" + std::to_string(y + 17) +
               "\" text-anchor=\"end\" font-size=\"13\">" + HtmlEscape(Label(item)) + "</text>";
        svg += "<rect x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(y + 3) + "\" width=\"" +
               std::to_string(barWidth) + "\" height=\"18\" fill=\"#f2f2f2\"/>";
        svg += "<rect x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(y + 3) + "\" width=\"" +
               std::to_string(width) + "\" height=\"18\" fill=\"#c0392b\"/>";
        svg += "<text x=\"" + std::to_string(labelWidth + barWidth + 8) + "\" y=\"" + std::to_string(y + 17) +
               "\" font-size=\"13\">" + std::to_string(failures[item]) + "</text>\n";
    }
    return svg + "</svg>\n";
}

std::string ItemCell(const SummaryItem& item)
{
    // Inline colours: many mail programs drop a page's style sheet but keep an element's style.
    if (!item.present)
        return "<td style=\"background:" + std::string(kMissingColour) + "\" title=\"missing\"><i>missing</i></td>";
    return "<td style=\"background:" + std::string(item.pass ? kPassColour : kFailColour) + "\" title=\"" +
           (item.pass ? "pass" : "fail") + "\">" + HtmlEscape(item.value) + "</td>";
}

}  // namespace

std::string SummaryHtml(const SiteSummary& summary)
{
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Quor-kelvra site summary</title>\n<style>\n"
        "body { font-family: Segoe UI, Arial, sans-serif; margin: 1.5em; color: #222; }\n"
        "table { border-collapse: collapse; font-size: 13px; }\n"
        "th, td { border: 1px solid #bbb; padding: 3px 6px; text-align: left; vertical-align: top; }\n"
        "th { background: #f0f0f0; }\n"
        "</style>\n</head>\n<body>\n";
    html += "<h1>" + std::to_string(FitCount(summary)) + " of " + std::to_string(summary.rows.size()) +
            " PCs fit</h1>\n";
    if (!summary.skipped.empty()) {
        html += "<p>" + std::to_string(summary.skipped.size()) + " file(s) skipped:</p>\n<ul>\n";
        for (const SkippedFile& file : summary.skipped)
            html += "<li>" + HtmlEscape(file.path) + ": " + HtmlEscape(file.reason) + "</li>\n";
        html += "</ul>\n";
    }
    html += "<h2>PCs failing each item</h2>\n" + FailureChart(summary);

    html += "<h2>Every PC, unfit first</h2>\n<table>\n<tr><th>Report</th><th>Failed</th>";
    for (std::size_t item = 0; item < kResultRows.size(); ++item)
        html += "<th>" + HtmlEscape(Label(item)) + "</th>";
    html += "</tr>\n";
    std::vector<const SummaryRow*> order;
    order.reserve(summary.rows.size());
    for (const SummaryRow& row : summary.rows)
        order.push_back(&row);
    std::stable_partition(order.begin(), order.end(), [](const SummaryRow* row) { return !row->Fit(); });
    for (const SummaryRow* row : order) {
        html += "<tr><td>" + HtmlEscape(row->path) + "</td><td>" + std::to_string(row->FailedCount()) + "</td>";
        for (const SummaryItem& item : row->items)
            html += ItemCell(item);
        html += "</tr>\n";
    }
    return html + "</table>\n</body>\n</html>\n";
}
