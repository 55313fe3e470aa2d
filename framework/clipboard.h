// The clipboard, as the program fills it.
#pragma once

#include <windows.h>

#include "text/text.h"

// Puts the text on the clipboard as Unicode text, for `owner`. False, with the system's error
// code, when the clipboard stayed held by another program or the text could not be stored.
bool SetClipboardText(HWND owner, const CString& text, DWORD& error);

