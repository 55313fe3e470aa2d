#include "framework/tab_control.h"

#include <commctrl.h>

#include "text/wide.h"

bool CTabCtrl::InsertItem(int index, const CString& text)
{
    CString copy = text;
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(AsWide(copy));
    return SendMessageW(m_hWnd, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(&item)) != -1;
}

