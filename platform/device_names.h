// Names that Windows takes for a device rather than a file, in any folder: writing a report to one
// "succeeds" and leaves no report; opening one may wait on a port.
#pragma once

#include "text/text.h"

// True for a path whose last part is a reserved device name (CON, PRN, AUX, NUL, COM0 to COM9,
// LPT0 to LPT9, CONIN$, CONOUT$), with any extension or trailing blanks, as in "nul.vkh" or
// "C:\out\COM5 .txt", and for paths in the device namespace ("\\.\COM5", "\\?\GLOBALROOT\...").
bool NamesADevice(const CString& path);

// A full path with the prefix that lifts the 259-character limit, put on once: "\\?\" before a
// drive's path, "\\?\UNC\" in place of a share's "\\". A path given with it already ("\\?\C:\...",
// "\\?\UNC\server\...", as a path that long is given) keeps it; a drive named through the device
// namespace ("\\.\C:\...") takes it in place of its own.
CString ExtendedLengthPath(const CString& full);
