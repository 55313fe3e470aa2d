// Feeds any bytes to the report import as a chosen file would: text, lines, tokens, rows, and what
// the dialog would be told to show.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "check/import_view.h"
#include "report/report_import.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

class NullSurface : public DialogSurface {
public:
    void ShowItemValue(ResultItem, const CString& text) override { total_ += text.size(); }
    void ShowItemMark(ResultItem, Mark mark) override { total_ += static_cast<std::size_t>(mark); }
    void AddListString(const CString& text) override { total_ += text.size(); }
    void ReplaceList(const std::vector<CString>& lines) override { total_ += lines.size(); }
    void ShowStatus(const CString& text) override { total_ += text.size(); }
    void ShowItemExplanation(ResultItem, const CString& text) override { total_ += text.size(); }

private:
    std::size_t total_ = 0;
};

}  // namespace

void FuzzReportImport(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    const CString text = ReportTextFromBytes(bytes);
    const ImportedReport report = ParseReport(text);
    // Every listed line comes from the text, so together they can never outgrow it by more than
    // the colon each one may gain.
    std::size_t listed = 0;
    for (const CString& line : report.listLines)
        listed += line.size();
    FUZZ_CHECK(listed <= text.size() + report.listLines.size(), "the listed lines outgrow the text");
    NullSurface surface;
    ShowImportedReport(report, surface);
}

QK_FUZZER_ENTRY(FuzzReportImport)
