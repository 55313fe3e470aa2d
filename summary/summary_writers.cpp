#include "summary/summary_writers.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <streambuf>
#include <utility>

#include "summary/utf8.h"

namespace {

// Each item's label as every output writes it, made once: every row of every output names its items.
struct LabelForms {
    std::array<std::string, kResultItemCount> plain, html, json, jsonItemStart;
};

const LabelForms& Labels()
{
    static const LabelForms forms = [] {
        LabelForms made;
        for (std::size_t i = 0; i < kResultItemCount; ++i) {
            made.plain[i] = ToUtf8(kResultRows[i].label);
            made.html[i] = HtmlEscape(made.plain[i]);
            made.json[i] = JsonString(made.plain[i]);
            made.jsonItemStart[i] = "        { \"label\": " + made.json[i] + ", \"value\": ";
        }
        return made;
    }();
    return forms;
}

const std::string& Label(std::size_t item)
{
    return Labels().plain[item];
}

std::string WrittenText(const SummaryRow& row)
{
    return row.Written() != 0 ? IsoTime(row.Written()) : std::string();
}

bool IsControl(std::uint32_t point)
{
    return point < 0x20 || (point >= 0x7F && point <= 0x9F);
}

std::string Hex(std::uint32_t value, int digits)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return text;
}

}  // namespace

namespace {

// CsvField's text appended in place: a site's CSV is millions of fields.
void AppendCsvField(std::string& to, std::string_view value)
{
    // OWASP's advice for CSV injection: any PC's user can put such a value into a report.
    const bool formula = !value.empty() && std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos;
    if (!formula && value.find_first_of(",\"\r\n") == std::string_view::npos) {
        to += value;
        return;
    }
    to += formula ? "\"'" : "\"";
    for (char c : value) {
        if (c == '"')
            to += '"';
        to += c;
    }
    to += '"';
}

// HtmlEscape's text appended in place.
void AppendHtml(std::string& to, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '&': to += "&amp;"; break;
        case '<': to += "&lt;"; break;
        case '>': to += "&gt;"; break;
        case '"': to += "&quot;"; break;
        case '\'': to += "&#39;"; break;
        default: to += c;
        }
    }
}

}  // namespace

std::string CsvField(std::string_view value)
{
    std::string field;
    field.reserve(value.size() + 2);
    AppendCsvField(field, value);
    return field;
}

std::string IsoTime(std::int64_t seconds)
{
    // Days to a civil date (Howard Hinnant's algorithm): no time zone or C library involved.
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t inDay = seconds - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    // Room for any 64-bit figure, though a file's time never needs it.
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(inDay / 3600),
                  static_cast<long long>(inDay / 60 % 60), static_cast<long long>(inDay % 60));
    return text;
}

namespace {

// JsonString's text appended to `json`: the writers build each record in one reused buffer.
void AppendJson(std::string& json, std::string_view text)
{
    json += '"';
    // Most values are plain ASCII; they go in whole.
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; })) {
        json.append(text);
        json += '"';
        return;
    }
    for (std::size_t i = 0; i < text.size();) {
        const auto [point, length] = DecodeUtf8(text, i);
        if (length == 0) {
            json += "\xEF\xBF\xBD";  // U+FFFD for a byte that is no UTF-8
            ++i;
            continue;
        }
        if (point == '"' || point == '\\')
            json += '\\';
        if (IsControl(point))
            json += "\\u" + Hex(point, 4);
        else
            json.append(text.substr(i, length));
        i += length;
    }
    json += '"';
}

}  // namespace

std::string JsonString(std::string_view text)
{
    std::string json;
    json.reserve(text.size() + 2);
    AppendJson(json, text);
    return json;
}

std::string TerminalSafe(std::string_view text)
{
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto [point, length] = DecodeUtf8(text, i);
        const bool lineEnd = point == '\n' || (point == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
        if (length == 0) {
            safe += "\\x" + Hex(static_cast<unsigned char>(text[i]), 2);
            ++i;
            continue;
        }
        if (IsControl(point) && point != '\t' && !lineEnd)
            safe += point < 0x100 ? "\\x" + Hex(point, 2) : "\\u" + Hex(point, 4);
        else
            safe.append(text.substr(i, length));
        i += length;
    }
    return safe;
}

void SiteTotals::Add(const SummaryRow& row)
{
    ++reports;
    const Fitness fitness = row.PcFitness();
    fit += fitness == Fitness::Fit ? 1 : 0;
    unknown += fitness == Fitness::Unknown ? 1 : 0;
    // A missing item counts as a fail.
    for (std::size_t item = 0; item < kResultItemCount; ++item)
        failures[item] += row.Item(item).present && row.Item(item).pass ? 0 : 1;
    if (row.Written() != 0 && (oldest == 0 || row.Written() < oldest))
        oldest = row.Written();
}

SiteTotals TotalsOf(const SiteSummary& summary)
{
    SiteTotals totals;
    for (const SummaryRow& row : summary.rows)
        totals.Add(row);
    return totals;
}

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
        if (item.present)
            line_ += item.pass ? "1" : "0";
        if (!row.Error(index).empty())
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

void WriteSummaryCsv(const SiteSummary& summary, std::ostream& out)
{
    CsvStream csv(out, summary.since.has_value());
    for (std::size_t r = 0; r < summary.rows.size(); ++r)
        csv.Row(summary.rows[r], summary.since ? &summary.since->changes[r] : nullptr);
    if (summary.since)
        csv.Gone(summary.since->previous);
}

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

namespace {

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

void WriteSummaryJson(const SiteSummary& summary, std::ostream& out, std::int64_t now)
{
    JsonStream json(out, now);
    for (std::size_t r = 0; r < summary.rows.size(); ++r)
        json.Row(summary.rows[r], summary.since ? &summary.since->changes[r] : nullptr);
    json.End(summary.skipped, summary.since ? &*summary.since : nullptr, TotalsOf(summary));
}

std::string HtmlEscape(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    AppendHtml(escaped, text);
    return escaped;
}

namespace {

constexpr const char* kPassColour = "#c6efce";
constexpr const char* kFailColour = "#ffc7ce";
constexpr const char* kMissingColour = "#e0e0e0";
constexpr const char* kUnknownColour = "#ffeb9c";
// What the heading's count of unknown PCs puts into the filter: of a row's cells only an unknown
// PC's verdict holds it, as no value can hold a colon (a path named so could).
constexpr const char* kUnknownFilter = "Unknown%3A%20WMI%20failed";

// Appends the pieces in turn: the chart is a few hundred of them, and each + made a string of its own.
void Append(std::string& to, std::initializer_list<std::string_view> pieces)
{
    for (const std::string_view piece : pieces)
        to += piece;
}

// A number as text without a string of its own.
class Decimal {
public:
    explicit Decimal(long long value) : size_(static_cast<std::size_t>(std::to_chars(text_, text_ + sizeof text_, value).ptr - text_)) {}
    operator std::string_view() const { return std::string_view(text_, size_); }

private:
    char text_[24];
    std::size_t size_;
};

// Horizontal bars, one per item, as long as the share of PCs failing it.
void AppendFailureChart(std::string& svg, const SiteTotals& totals)
{
    constexpr int labelWidth = 230, barWidth = 520, rowHeight = 26;
    // All but each bar's width and count is the same on every page: made once.
    struct Pieces {
        std::string start;
        std::array<std::string, kResultItemCount> beforeWidth, beforeCount;
    };
    static const Pieces pieces = [] {
        Pieces made;
        Append(made.start, {"<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"", Decimal(labelWidth + barWidth + 60),
                            "\" height=\"", Decimal(rowHeight * kResultItemCount + 10),
                            "\" role=\"img\" aria-label=\"PCs failing each item\">\n"});
        for (std::size_t item = 0; item < kResultItemCount; ++item) {
            const int y = 5 + static_cast<int>(item) * rowHeight;
            Append(made.beforeWidth[item],
                   {"<text x=\"", Decimal(labelWidth - 8), "\" y=\"", Decimal(y + 17), "\" text-anchor=\"end\" font-size=\"13\">",
                    Labels().html[item], "</text>", "<rect x=\"", Decimal(labelWidth), "\" y=\"", Decimal(y + 3),
                    "\" width=\"", Decimal(barWidth), "\" height=\"18\" fill=\"#f2f2f2\"/>", "<rect x=\"",
                    Decimal(labelWidth), "\" y=\"", Decimal(y + 3), "\" width=\""});
            Append(made.beforeCount[item], {"\" height=\"18\" fill=\"#c0392b\"/>", "<text x=\"",
                                            Decimal(labelWidth + barWidth + 8), "\" y=\"", Decimal(y + 17),
                                            "\" font-size=\"13\">"});
        }
        return made;
    }();
    // In 64 bits: a count times the width passes 32 bits from four million PCs.
    const unsigned long long total = std::max<unsigned long long>(1, totals.reports);
    svg += pieces.start;
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        const unsigned long long failing = std::min<unsigned long long>(totals.failures[item], total);
        Append(svg, {pieces.beforeWidth[item], Decimal(static_cast<long long>(failing * barWidth / total)),
                     pieces.beforeCount[item], Decimal(static_cast<long long>(failing)), "</text>\n"});
    }
    svg += "</svg>\n";
}

void AppendItemCell(std::string& html, const SummaryItem& item, std::string_view error)
{
    // Inline colours: many mail programs drop a page's style sheet but keep an element's style.
    if (!item.present) {
        html.append("<td style=\"background:").append(kMissingColour).append("\" title=\"missing\"><i>missing</i></td>");
        return;
    }
    html += "<td style=\"background:";
    if (!error.empty())  // "0x" and hex digits alone: nothing in it to escape
        html.append(kUnknownColour).append("\" title=\"WMI failed: ").append(error).append("\">");
    else if (item.pass)
        html.append(kPassColour).append("\" title=\"pass\">");
    else
        html.append(kFailColour).append("\" title=\"fail\">");
    AppendHtml(html, item.value);
    html += "</td>";
}

// "Fit", "Unfit", or "Unknown: WMI failed: " and each different error of the row, in item order.
void AppendVerdictCell(std::string& html, const SummaryRow& row)
{
    const Fitness fitness = row.PcFitness();
    if (fitness != Fitness::Unknown) {
        const bool fit = fitness == Fitness::Fit;
        html.append("<td style=\"background:").append(fit ? kPassColour : kFailColour).append("\">");
        html.append(fit ? "Fit" : "Unfit").append("</td>");
        return;
    }
    html.append("<td style=\"background:").append(kUnknownColour).append("\">Unknown: WMI failed: ");
    std::array<std::string_view, kResultItemCount> shown{};
    std::size_t count = 0;
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        const std::string_view error = row.Error(item);
        if (error.empty() || std::find(shown.begin(), shown.begin() + count, error) != shown.begin() + count)
            continue;
        html.append(count == 0 ? "" : ", ").append(error);
        shown[count++] = error;
    }
    html += "</td>";
}

std::string Thousands(std::size_t count);

void AppendChangeCell(std::string& html, Change change, const std::string& changedItems)
{
    html.append("<td>").append(ChangeText(change));
    if (!changedItems.empty())
        html.append(": ").append(HtmlEscape(changedItems));
    html += "</td>";
}

std::string Percent(long long part, long long whole)
{
    return whole <= 0 ? std::string("none") : std::to_string((part * 100 + whole / 2) / whole) + " %";
}

// "Since 2026-12-02: 40 new, 12 became fit, 3 became unfit, 5 gone", each count a link that shows
// those PCs, and the share of fit PCs then and now.
std::string SincePanel(const SiteChanges& since, const SiteTotals& counts)
{
    const PreviousSummary& previous = since.previous;
    std::string panel = "<div id=\"since\" style=\"border:1px solid #bbb; padding:0.5em 1em; margin:1em 0\">\n<p><b>Since " +
                        HtmlEscape(previous.date.empty() ? std::string("the earlier summary") : previous.date) + ":</b> ";
    const Change shown[] = {Change::New, Change::BecameFit, Change::BecameUnfit, Change::BecameUnknown, Change::Gone,
                            Change::Unchanged, Change::NotRead};
    bool first = true;
    for (const Change change : shown) {
        const long long count = since.counts[static_cast<std::size_t>(change)];
        const std::string text = Thousands(static_cast<std::size_t>(count)) + " " + ChangeText(change);
        panel += first ? "" : ", ";
        first = false;
        if (count == 0) {
            panel += text;
            continue;
        }
        std::string address = ChangeText(change);
        for (std::size_t at = address.find(' '); at != std::string::npos; at = address.find(' '))
            address.replace(at, 1, "%20");
        panel += "<a href=\"#change=" + address + "\" title=\"Show only these PCs\">" + text + "</a>";
    }
    panel += ".</p>\n<p>Fit then: " + Percent(previous.fit, previous.reports) + " (" + std::to_string(previous.fit) +
             " of " + std::to_string(previous.reports) + "); now: " +
             Percent(static_cast<long long>(counts.fit), static_cast<long long>(counts.reports)) + " (" +
             std::to_string(counts.fit) + " of " + std::to_string(counts.reports) + ").</p>\n</div>\n";
    return panel;
}

// Sorting by a heading's click and filtering by what is typed: plain text compared, nothing of a
// report ever read as markup or code. "#filter=TEXT&sort=N" in the address does the same at once;
// a filter the address is given later, by the heading's link, too; "#change=became%20fit" shows the
// PCs of one change since the earlier summary.
constexpr const char* kTableScript = R"(<script>
(function () {
  var table = document.getElementById('pcs'), body = table.tBodies[0];
  var rows = Array.prototype.slice.call(body.rows);
  var filter = document.getElementById('filter'), shown = document.getElementById('shown');
  var sorted = -1, descending = false;
  function compare(a, b) {
    var x = Number(a), y = Number(b);
    if (a !== '' && b !== '' && !isNaN(x) && !isNaN(y)) return x - y;
    return a.localeCompare(b, undefined, {numeric: true, sensitivity: 'base'});
  }
  function sortBy(column) {
    descending = column === sorted ? !descending : false;
    sorted = column;
    var keyed = rows.map(function (row) { return [row.cells[column].textContent, row]; });
    keyed.sort(function (a, b) { var r = compare(a[0], b[0]); return descending ? -r : r; });
    rows = keyed.map(function (pair) { return pair[1]; });
    rows.forEach(function (row) { body.appendChild(row); });
  }
  var change = '';
  function apply() {
    var text = filter.value.toLowerCase(), count = 0;
    rows.forEach(function (row) {
      var match = (!text || row.textContent.toLowerCase().indexOf(text) >= 0) &&
                  (!change || row.getAttribute('data-change') === change);
      row.style.display = match ? '' : 'none';
      count += match ? 1 : 0;
    });
    shown.textContent = count + ' of ' + rows.length + ' rows shown.';
  }
  Array.prototype.forEach.call(table.tHead.rows[0].cells, function (cell, column) {
    cell.addEventListener('click', function () { sortBy(column); });
  });
  function decoded(text) {
    try { return decodeURIComponent(text); } catch (e) { return text; }
  }
  function filterFromAddress() {
    var changed = /[#&]change=([^&]*)/.exec(location.hash);
    change = changed ? decoded(changed[1]) : '';
    var asked = /[#&]filter=([^&]*)/.exec(location.hash);
    if (!asked) return;
    filter.value = decoded(asked[1]);
  }
  filter.addEventListener('input', apply);
  window.addEventListener('hashchange', function () { filterFromAddress(); apply(); });
  // A link to the address already shown changes nothing the browser would tell of.
  Array.prototype.forEach.call(document.querySelectorAll('a[href^="#filter="], a[href^="#change="]'), function (link) {
    link.addEventListener('click', function () {
      if (link.hash === location.hash) { filterFromAddress(); apply(); }
    });
  });
  var sort = /[#&]sort=(\d+)/.exec(location.hash);
  filterFromAddress();
  if (sort && Number(sort[1]) < table.tHead.rows[0].cells.length) sortBy(Number(sort[1]));
  apply();
})();
</script>
)";

std::string Thousands(std::size_t count)
{
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

}  // namespace

void PageRows::Add(const SummaryRow& row, const PcChange* change)
{
    const Fitness fitness = row.PcFitness();
    std::vector<Kept>& kept = fitness == Fitness::Unfit ? unfit_ : fitness == Fitness::Unknown ? unknown_ : fit_;
    kept.push_back({row, change ? *change : PcChange(), change != nullptr});
    // Over the page's rows: the last of the kind listed last goes, so the page keeps the first of each
    // kind in the order read, unfit first.
    if (unfit_.size() + unknown_.size() + fit_.size() > kMaxPageRows)
        (!fit_.empty() ? fit_ : !unknown_.empty() ? unknown_ : unfit_).pop_back();
}

void WritePage(const PageRows& rows, const SiteTotals& counts, const std::vector<SkippedFile>& skipped,
               const SiteChanges* since, std::int64_t now, std::ostream& out)
{
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        // Nothing may be fetched, whatever a report holds: no image, frame or address at all.
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
        "script-src 'unsafe-inline'\">\n"
        "<title>Quor-kelvra site summary</title>\n<style>\n"
        "body { font-family: Segoe UI, Arial, sans-serif; margin: 1.5em; color: #222; }\n"
        "table { border-collapse: collapse; font-size: 13px; }\n"
        "th, td { border: 1px solid #bbb; padding: 3px 6px; text-align: left; vertical-align: top; }\n"
        "th { background: #f0f0f0; cursor: pointer; }\n"
        "</style>\n</head>\n<body>\n";
    // Room for the page's head, its chart and each row in turn without growing again.
    html.reserve(8192);
    Append(html, {"<h1>", Decimal(static_cast<long long>(counts.fit)), " of ", Decimal(static_cast<long long>(counts.reports)), " PCs fit"});
    if (counts.unknown != 0)
        html += std::string(", <a href=\"#filter=") + kUnknownFilter + "\" style=\"background:" + kUnknownColour +
                "; color:inherit\" title=\"Show only these PCs\">" + std::to_string(counts.unknown) + " unknown</a>";
    html += "</h1>\n";
    if (counts.unknown != 0)
        html += "<p>A PC is unknown when none of its items fails on its value but WMI failed or gave no answer in "
                "time (0x40004) for some of them, shown in amber: whether it is fit is not known until it is checked "
                "again.</p>\n";
    const std::int64_t oldest = counts.oldest;
    if (oldest != 0) {
        // A report left behind by a run that could not write a new one must not pass for today's.
        html += "<p>The oldest report was written " + IsoTime(oldest);
        if (now >= oldest)
            html += ", " + Thousands(static_cast<std::size_t>((now - oldest) / 86400)) + " day(s) before this summary";
        html += ".</p>\n";
    }
    if (!skipped.empty()) {
        html += "<p>" + std::to_string(skipped.size()) + " file(s) skipped:</p>\n<ul>\n";
        std::size_t listed = 0;
        for (const SkippedFile& file : skipped) {
            if (++listed > kMaxPageRows) {
                html += "<li>... and " + Thousands(skipped.size() - kMaxPageRows) +
                        " more; standard error and the JSON name every one.</li>\n";
                break;
            }
            html += "<li>" + HtmlEscape(file.path) + ": " + HtmlEscape(file.reason) + "</li>\n";
        }
        html += "</ul>\n";
    }
    if (since)
        html += SincePanel(*since, counts);
    html += "<h2>PCs failing each item</h2>\n";
    AppendFailureChart(html, counts);

    html += "<h2>Every PC, unfit first, then unknown</h2>\n";
    if (counts.reports > kMaxPageRows)
        html += "<p>This page lists the first " + Thousands(kMaxPageRows) + " of " + Thousands(counts.reports) +
                " PCs, unfit first, then unknown; the counts and the chart above are of every PC, and the CSV "
                "and the JSON hold every one.</p>\n";
    // The gone PCs come last, in what room the page has left.
    const std::size_t gone =
        since ? static_cast<std::size_t>(since->counts[static_cast<std::size_t>(Change::Gone)] +
                                         since->counts[static_cast<std::size_t>(Change::NotRead)])
              : 0;
    const std::size_t goneListed = std::min(gone, kMaxPageRows - std::min(kMaxPageRows, counts.reports));
    if (goneListed < gone)
        html += "<p>This page lists " + Thousands(goneListed) + " of the " + Thousands(gone) +
                " PCs gone since or not read today; the CSV and the JSON name every one.</p>\n";
    html += "<p><label>Show only the rows that hold <input id=\"filter\" type=\"search\"></label> "
            "<span id=\"shown\"></span> Click a column's heading to sort by it.</p>\n"
            "<table id=\"pcs\">\n<thead><tr><th>Report</th><th>Written</th><th>Failed</th>";
    for (std::size_t item = 0; item < kResultRows.size(); ++item)
        Append(html, {"<th>", Labels().html[item], "</th>"});
    // Last, so that every column an address's "#sort=N" names keeps its place.
    html += since ? "<th>Verdict</th><th>Change</th></tr></thead>\n<tbody>\n"
                          : "<th>Verdict</th></tr></thead>\n<tbody>\n";
    out << html;
    std::size_t listed = 0;
    for (const std::vector<PageRows::Kept>* kind : {&rows.unfit_, &rows.unknown_, &rows.fit_}) {
        for (const PageRows::Kept& kept : *kind) {
            const SummaryRow* row = &kept.row;
            const PcChange* change = kept.hasChange ? &kept.change : nullptr;
            html = change ? std::string("<tr data-change=\"") + ChangeText(change->change) + "\">" : std::string("<tr>");
            html += "<td>";
            AppendHtml(html, row->Path());
            Append(html, {"</td><td>", WrittenText(*row), "</td><td>", Decimal(row->FailedCount()), "</td>"});
            for (std::size_t item = 0; item < kResultItemCount; ++item)
                AppendItemCell(html, row->Item(item), row->Error(item));
            AppendVerdictCell(html, *row);
            if (change)
                AppendChangeCell(html, change->change, change->changedItems);
            html += "</tr>\n";
            out << html;
            ++listed;
        }
    }
    // The PCs gone since, and those not read today, as they stood then, within what the page lists.
    if (since) {
        for (const PreviousPc& pc : since->previous.pcs) {
            if (pc.seen || listed++ >= kMaxPageRows)
                continue;
            html = std::string("<tr data-change=\"") + (pc.unread ? "not read" : "gone") + "\"><td>" +
                   HtmlEscape(pc.Report()) + "</td><td></td><td></td>";
            for (const ItemVerdict verdict : pc.items) {
                const char* colour = verdict == ItemVerdict::Pass   ? kPassColour
                                     : verdict == ItemVerdict::Fail ? kFailColour
                                     : verdict == ItemVerdict::Unknown ? kUnknownColour
                                                                     : kMissingColour;
                html.append("<td style=\"background:").append(colour).append("\"><i>").append(VerdictWord(verdict));
                html += "</i></td>";
            }
            const bool fit = pc.fitness == Fitness::Fit;
            html.append("<td style=\"background:")
                .append(pc.fitness == Fitness::Unknown ? kUnknownColour : fit ? kPassColour : kFailColour)
                .append("\">")
                .append(pc.fitness == Fitness::Unknown ? "Unknown" : fit ? "Fit" : "Unfit")
                .append("</td>");
            AppendChangeCell(html, pc.unread ? Change::NotRead : Change::Gone, std::string());
            html += "</tr>\n";
            out << html;
        }
    }
    out << "</tbody>\n</table>\n" << kTableScript << "</body>\n</html>\n";
}

void WriteSummaryHtml(const SiteSummary& summary, std::int64_t now, std::ostream& out)
{
    PageRows rows;
    for (std::size_t r = 0; r < summary.rows.size(); ++r)
        rows.Add(summary.rows[r], summary.since ? &summary.since->changes[r] : nullptr);
    WritePage(rows, TotalsOf(summary), summary.skipped, summary.since ? &*summary.since : nullptr, now, out);
}

namespace {

// An output stream that writes straight into a string: ostringstream grows a buffer of its own and
// copies it out at the end, and the fuzzers write the three outputs for each of millions of inputs.
class StringBuffer : public std::streambuf {
public:
    std::string text;

protected:
    std::streamsize xsputn(const char* from, std::streamsize count) override
    {
        text.append(from, static_cast<std::size_t>(count));
        return count;
    }
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            text.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
};

}  // namespace

std::string SummaryCsv(const SiteSummary& summary)
{
    StringBuffer buffer;
    std::ostream out(&buffer);
    WriteSummaryCsv(summary, out);
    return std::move(buffer.text);
}

std::string SummaryJson(const SiteSummary& summary, std::int64_t now)
{
    StringBuffer buffer;
    std::ostream out(&buffer);
    WriteSummaryJson(summary, out, now);
    return std::move(buffer.text);
}

std::string SummaryHtml(const SiteSummary& summary, std::int64_t now)
{
    StringBuffer buffer;
    std::ostream out(&buffer);
    WriteSummaryHtml(summary, now, out);
    return std::move(buffer.text);
}
