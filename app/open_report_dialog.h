// The "Import Kelvra File" dialog: the system's open-file dialog for one report.
#pragma once

#include <windows.h>

#include "text/text.h"

enum class FileChoice { Chosen, Cancelled, PathTooLong };

// `chosen` holds the file's path when the user chose one. PathTooLong: the dialog could not hand
// over a path longer than its 255 characters.
FileChoice ChooseReportFile(HWND owner, CString& chosen);
