#include "check/import_view.h"

#include "check/check_run.h"

void ShowImportedReport(const ImportedReport& report, DialogSurface& surface)
{
    surface.ReplaceList(report.listLines);
    for (int item = 0; item < kResultItemCount; ++item) {
        const ImportedRow& imported = report.rows[static_cast<std::size_t>(item)];
        surface.ShowItemValue(static_cast<ResultItem>(item), imported.present ? imported.value : CString());
        surface.ShowItemMark(static_cast<ResultItem>(item),
                             !imported.present ? Mark::Blank : imported.pass ? Mark::Pass : Mark::Fail);
    }
    // The figures came from another PC: the explanations state the rules only.
    ExplainItems(surface, nullptr);
}

ImportOutcome ImportReport(Platform& platform, DialogSurface& surface, const CString& path)
{
    std::vector<std::uint8_t> bytes;
    const ImportOutcome outcome = ReadReportBytes(platform, path, bytes);
    if (outcome != ImportOutcome::Shown)
        return outcome;
    surface.ShowStatus(path);
    ShowImportedReport(ParseReport(ReportTextFromBytes(bytes)), surface);
    return ImportOutcome::Shown;
}
