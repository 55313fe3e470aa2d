// What the dialog shows of an imported report, decided here and nowhere else: the report's own
// lines and rows, and the rules alone as explanations, since its figures came from another PC.
#pragma once

#include "check/dialog_surface.h"
#include "platform/platform.h"
#include "report/report_import.h"

// Shows an imported report: the list refilled, every value emptied and every mark blank, then the
// rows the report holds.
void ShowImportedReport(const ImportedReport& report, DialogSurface& surface);

// Reads the chosen file and shows it, its path on the line under the list; on any failure the
// dialog is left exactly as it was.
ImportOutcome ImportReport(Platform& platform, DialogSurface& surface, const CString& path);
