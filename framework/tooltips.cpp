#include "framework/tooltips.h"

#include <commctrl.h>

#include "text/wide.h"

namespace {

// The size Windows XP's common controls accept: the later one, with a reserved field at the end,
// makes XP refuse every tool.
TOOLINFOW ToolFor(HWND dialog, HWND control, const CString& text)
{
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    // The control copies the text.
    tool.lpszText = const_cast<wchar_t*>(AsWide(text));
    return tool;
}

}  // namespace

bool CToolTipCtrl::Create(HWND dialog, int maxWidth, int showMs)
{
    m_hDialog = dialog;
    // Owned by the dialog, so it goes with it; shown also while another window is active, as a
    // technician may hover before clicking into the dialog.
    m_hWnd = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (m_hWnd == nullptr)
        return false;
    SendMessageW(m_hWnd, TTM_SETMAXTIPWIDTH, 0, maxWidth);
    SendMessageW(m_hWnd, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(showMs, 0));
    return true;
}

void CToolTipCtrl::AddTool(HWND control, const CString& text)
{
    if (m_hWnd == nullptr || control == nullptr)
        return;
    TOOLINFOW tool = ToolFor(m_hDialog, control, text);
    SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CToolTipCtrl::UpdateTipText(HWND control, const CString& text)
{
    if (m_hWnd == nullptr || control == nullptr)
        return;
    TOOLINFOW tool = ToolFor(m_hDialog, control, text);
    SendMessageW(m_hWnd, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

namespace {

// The one tool the keyboard's tooltip is shown through: placed by the program, not by the mouse.
constexpr UINT_PTR kTrackedTool = 1;

TOOLINFOW TrackedTool(HWND dialog, const CString& text)
{
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = dialog;
    tool.uId = kTrackedTool;
    tool.lpszText = const_cast<wchar_t*>(AsWide(text));
    return tool;
}

}  // namespace

void CToolTipCtrl::ShowBelow(HWND control, const CString& text)
{
    if (m_hWnd == nullptr || control == nullptr || text.empty())
        return;
    TOOLINFOW tool = TrackedTool(m_hDialog, text);
    if (!m_trackAdded)
        m_trackAdded = SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
    else
        SendMessageW(m_hWnd, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT rect;
    GetWindowRect(control, &rect);
    SendMessageW(m_hWnd, TTM_TRACKPOSITION, 0, MAKELPARAM(rect.left, rect.bottom + 2));
    SendMessageW(m_hWnd, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void CToolTipCtrl::Hide()
{
    if (m_hWnd == nullptr || !m_trackAdded)
        return;
    TOOLINFOW tool = TrackedTool(m_hDialog, CString());
    SendMessageW(m_hWnd, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}
