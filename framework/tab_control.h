// The tab control's one call the program makes.
#pragma once

#include <windows.h>

#include "framework/control.h"
#include "text/text.h"

class CTabCtrl : public CWndControl {
public:
    bool InsertItem(int index, const CString& text);
};

