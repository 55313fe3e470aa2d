#include "report/report_import.h"

#include <string_view>

CString ReportTextFromBytes(const std::vector<std::uint8_t>& bytes)
{
    CString text;
    ReportTextFromBytes(bytes.data(), bytes.size(), text);
    return text;
}

void ReportTextFromBytes(const std::uint8_t* bytes, std::size_t size, CString& text)
{
    // Little-endian units up to the first NUL one, in one pass: every report a site summary reads,
    // and every input the fuzzers try, comes through here.
    text.resize(size / 2);
    std::size_t units = 0;
    for (const std::uint8_t* byte = bytes; units < text.size(); ++units, byte += 2) {
        const auto unit = static_cast<char16_t>(byte[0] | byte[1] << 8);
        if (unit == 0)
            break;
        text[units] = unit;
    }
    text.resize(units);
}

namespace {

using TextView = std::u16string_view;

bool IsLineBreak(char16_t c)
{
    return c == u'\r' || c == u'\n';
}

bool IsColon(char16_t c)
{
    return c == u':';
}

// Hands `each` the maximal runs of characters that are not separators, at most `limit` of them,
// as views into `text`: a site summary parses hundreds of thousands of reports, and a copy of each
// line and token was most of its time. Returns how many were handed on.
template <typename Separator, typename Each>
std::size_t ForEachRun(TextView text, Separator separator, Each&& each, std::size_t limit = ~std::size_t{0})
{
    std::size_t count = 0;
    std::size_t at = 0;
    while (count < limit) {
        while (at < text.size() && separator(text[at]))
            ++at;
        if (at == text.size())
            break;
        const std::size_t start = at;
        while (at < text.size() && !separator(text[at]))
            ++at;
        each(text.substr(start, at - start));
        ++count;
    }
    return count;
}

}  // namespace

std::vector<CString> SplitReportLines(const CString& text)
{
    std::vector<CString> lines;
    ForEachRun(text, IsLineBreak, [&lines](TextView line) { lines.emplace_back(line); });
    return lines;
}

std::vector<CString> SplitReportTokens(const CString& line)
{
    std::vector<CString> tokens;
    ForEachRun(line, IsColon, [&tokens](TextView token) { tokens.emplace_back(token); });
    return tokens;
}

namespace {

// Every line of the text, split into its first three tokens, with the item its label names
// (kResultItemCount for none): the one reading of a line that the import and the summary share.
template <typename Each>
void ForEachLine(TextView text, Each&& each)
{
    // Measured once: every line is held against every label.
    static const std::array<TextView, kResultItemCount> labels = [] {
        std::array<TextView, kResultItemCount> views;
        for (std::size_t item = 0; item < views.size(); ++item)
            views[item] = kResultRows[item].label;
        return views;
    }();
    ForEachRun(text, IsLineBreak, [&each](TextView line) {
        // Only the label, the value and the verdict mean anything; whatever follows is ignored.
        std::array<TextView, 3> tokens;
        const std::size_t count =
            ForEachRun(line, IsColon, [&tokens, n = std::size_t{0}](TextView token) mutable { tokens[n++] = token; }, 3);
        std::size_t item = kResultItemCount;
        if (count >= 2) {
            for (std::size_t candidate = 0; candidate < labels.size(); ++candidate) {
                if (tokens[0] == labels[candidate]) {
                    item = candidate;
                    break;  // no label is spelt twice
                }
            }
        }
        each(line, tokens, count, item);
    });
}

}  // namespace

ImportedReport ParseReport(const CString& text, bool withListLines)
{
    ImportedReport report;
    ForEachLine(text, [&report, withListLines](TextView line, const std::array<TextView, 3>& tokens, std::size_t count,
                                               std::size_t item) {
        if (withListLines) {
            if (count == 0) {
                report.listLines.emplace_back(line);
            } else {
                CString shown(tokens[0]);
                shown += u':';
                shown += tokens[1];
                report.listLines.push_back(std::move(shown));
            }
        }
        if (item == kResultItemCount)
            return;
        ImportedRow& row = report.rows[item];
        row.present = true;
        row.value = CString(tokens[1]);
        row.pass = count > 2 && tokens[2] == u"1";
    });
    return report;
}

void ForEachResultLine(std::u16string_view text, ResultLineSink sink, void* context)
{
    ForEachLine(text, [sink, context](TextView, const std::array<TextView, 3>& tokens, std::size_t count,
                                      std::size_t item) {
        if (item != kResultItemCount)
            sink(context, item, tokens[1], count > 2 && tokens[2] == u"1");
    });
}

ImportOutcome ReadReportBytes(Platform& platform, const CString& path, std::vector<std::uint8_t>& bytes)
{
    std::unique_ptr<InputFile> file = platform.OpenFileForReading(path);
    // A device name typed into the open-file dialog (nul, aux, COM1) opens like a file; reading
    // it would replace the local results with nothing, or wait on the device.
    if (!file || !file->IsDiskFile())
        return ImportOutcome::CannotOpen;
    const std::int64_t length = file->Length();
    if (length < 0)
        return ImportOutcome::ReadFailed;
    if (length > kMaxReportBytes)
        return ImportOutcome::TooLarge;
    if (!file->ReadAll(static_cast<std::size_t>(length), bytes))
        return ImportOutcome::ReadFailed;
    return ImportOutcome::Shown;
}

CString ImportMessage(ImportOutcome outcome, const CString& path)
{
    switch (outcome) {
    case ImportOutcome::Shown: break;
    case ImportOutcome::CannotOpen: return Format(u"ERROR: Failed to Import File %s", {path});
    case ImportOutcome::TooLarge:
        return Format(u"ERROR: %s is too large to be a Quor-kelvra report (over 1 MB). Nothing was imported.",
                      {path});
    case ImportOutcome::ReadFailed:
        return Format(u"ERROR: Failed to read File %s. Nothing was imported.", {path});
    case ImportOutcome::PathTooLong:
        return u"ERROR: The chosen file's path is longer than 255 characters. Nothing was imported.";
    }
    return CString();
}
