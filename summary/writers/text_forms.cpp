#include "summary/writers/text_forms.h"

#include <algorithm>
#include <cstdio>

#include "summary/common/utf8.h"

namespace {

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

std::string HtmlEscape(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    AppendHtml(escaped, text);
    return escaped;
}

