#include "summary/writers/page_writer.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>

#include "summary/writers/text_forms.h"

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

void AppendItemCell(std::string& html, const SummaryItem& item, std::string_view error, bool judged)
{
    // Inline colours: many mail programs drop a page's style sheet but keep an element's style.
    if (!judged) {
        html.append("<td style=\"background:").append(kMissingColour).append("\" title=\"skipped: not judged\">");
        AppendHtml(html, item.value);
        html += " <i>(skipped)</i></td>";
        return;
    }
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
        const std::string_view error = row.Judged(item) ? row.Error(item) : std::string_view();
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
    if (counts.notJudged != 0) {
        html += "<p>Not judged at this site, so counted against no PC: ";
        for (std::size_t item = 0, shown = 0; item < kResultItemCount; ++item) {
            if ((counts.notJudged >> item & 1u) != 0)
                Append(html, {shown++ == 0 ? "" : ", ", Labels().html[item]});
        }
        html += ".</p>\n";
    }
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
                AppendItemCell(html, row->Item(item), row->Error(item), row->Judged(item));
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
