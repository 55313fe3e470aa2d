#include "report/report_import.h"

CString ReportTextFromBytes(const std::vector<std::uint8_t>& bytes)
{
    CString text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == u'\0')
            break;
        text.push_back(unit);
    }
    return text;
}

namespace {

std::vector<CString> SplitOn(const CString& text, const char16_t* separators)
{
    std::vector<CString> parts;
    std::size_t start = text.find_first_not_of(separators);
    while (start != CString::npos) {
        const std::size_t end = text.find_first_of(separators, start);
        parts.push_back(text.substr(start, end == CString::npos ? CString::npos : end - start));
        start = end == CString::npos ? CString::npos : text.find_first_not_of(separators, end);
    }
    return parts;
}

}  // namespace

std::vector<CString> SplitReportLines(const CString& text)
{
    return SplitOn(text, u"\r\n");
}

std::vector<CString> SplitReportTokens(const CString& line)
{
    return SplitOn(line, u":");
}

ImportedReport ParseReport(const CString& text, bool withListLines)
{
    ImportedReport report;
    for (const CString& line : SplitReportLines(text)) {
        const std::vector<CString> tokens = SplitReportTokens(line);
        if (tokens.empty()) {
            if (withListLines)
                report.listLines.push_back(line);
            continue;
        }
        if (withListLines)
            report.listLines.push_back(tokens[0] + u":" + (tokens.size() > 1 ? tokens[1] : CString()));
        if (tokens.size() < 2)
            continue;
        for (std::size_t item = 0; item < kResultRows.size(); ++item) {
            if (tokens[0] == kResultRows[item].label) {
                ImportedRow& row = report.rows[item];
                row.present = true;
                row.value = tokens[1];
                row.pass = tokens.size() > 2 && tokens[2] == u"1";
            }
        }
    }
    return report;
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
