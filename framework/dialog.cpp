#include "framework/dialog.h"

#include <commctrl.h>

#include <cstring>
#include <new>

#include "framework/app.h"
#include "framework/wide.h"

namespace {

constexpr const wchar_t* kOutOfMemoryText = L"Quor-kelvra ran out of memory and must close.";
constexpr const wchar_t* kUnexpectedErrorText = L"Quor-kelvra met an unexpected error and must close.";

// Dialog procedures return these messages' results directly; every other result goes through
// DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
           message == WM_QUERYDRAGICON || message == WM_INITDIALOG || message == WM_COMPAREITEM ||
           message == WM_VKEYTOITEM || message == WM_CHARTOITEM;
}

}  // namespace

bool CTabCtrl::InsertItem(int index, const CString& text)
{
    CString copy = text;
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(AsWide(copy));
    return SendMessageW(m_hWnd, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(&item)) != -1;
}

void CListBox::AddString(const CString& text)
{
    SendMessageW(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AsWide(text)));
}

void CListBox::InsertString(int index, const CString& text)
{
    SendMessageW(m_hWnd, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(AsWide(text)));
}

void CListBox::ResetContent()
{
    SendMessageW(m_hWnd, LB_RESETCONTENT, 0, 0);
}

void CListBox::InitStorage(std::size_t items)
{
    SendMessageW(m_hWnd, LB_INITSTORAGE, static_cast<WPARAM>(items), 0);
}

LCID CListBox::GetLocale() const
{
    return static_cast<LCID>(SendMessageW(m_hWnd, LB_GETLOCALE, 0, 0));
}

void CListBox::SetRedraw(bool redraw)
{
    SendMessageW(m_hWnd, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
    if (redraw)
        InvalidateRect(m_hWnd, nullptr, TRUE);
}

std::vector<CString> CListBox::GetLines() const
{
    const LRESULT count = SendMessageW(m_hWnd, LB_GETCOUNT, 0, 0);
    std::vector<CString> lines;
    std::vector<wchar_t> buffer;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(m_hWnd, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0)
            break;
        buffer.assign(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied =
            SendMessageW(m_hWnd, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()));
        lines.push_back(FromWide(buffer.data(), static_cast<std::size_t>(copied < 0 ? 0 : copied)));
    }
    return lines;
}

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

bool SetClipboardText(HWND owner, const CString& text, DWORD& error)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        error = GetLastError();
        return false;
    }
    void* target = GlobalLock(memory);
    if (target == nullptr) {
        error = GetLastError();
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
    // Another program may hold the clipboard for a moment (a clipboard manager reading it).
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !(opened = OpenClipboard(owner) != FALSE); ++attempt)
        Sleep(20);
    if (!opened) {
        error = GetLastError();
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    // Once set, the memory is the clipboard's.
    const bool stored = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    error = stored ? 0 : GetLastError();
    CloseClipboard();
    if (!stored)
        GlobalFree(memory);
    return stored;
}

CDialog* CDialog::s_modal = nullptr;

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CDialog::DoModal()
{
    // DialogBoxParam runs the loop itself; a message hook for the loop's time is what shows the
    // dialog each message before IsDialogMessage does. One hook serves nested dialogs too.
    static HHOOK hook = nullptr;
    if (s_modal == nullptr)
        hook = SetWindowsHookExW(WH_GETMESSAGE, &CDialog::GetMessageHook, nullptr, GetCurrentThreadId());
    m_outerModal = s_modal;
    s_modal = this;
    m_ended = false;
    const INT_PTR result = DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_templateId), m_parent,
                                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    s_modal = m_outerModal;
    if (s_modal == nullptr && hook != nullptr) {
        UnhookWindowsHookEx(hook);
        hook = nullptr;
    }
    return result;
}

LRESULT CALLBACK CDialog::GetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    // Only messages taken off the queue: a peek that leaves one there would offer it twice.
    if (code == HC_ACTION && wParam == PM_REMOVE && s_modal != nullptr && s_modal->m_hWnd != nullptr) {
        MSG& message = *reinterpret_cast<MSG*>(lParam);
        const HWND dialog = s_modal->m_hWnd;
        if ((message.hwnd == dialog || IsChild(dialog, message.hwnd)) && s_modal->OfferMessage(message))
            message.message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CDialog::OfferMessage(const MSG& message)
{
    if (m_abandoned)
        return false;
    try {
        return PreTranslateMessage(message);
    } catch (const std::bad_alloc&) {
        Abandon(m_hWnd, kOutOfMemoryText);
    } catch (...) {
        Abandon(m_hWnd, kUnexpectedErrorText);
    }
    return true;
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    if (exchange.failed()) {
        if (HWND control = GetDlgItem(exchange.m_idLastControl))
            SetFocus(control);
        return false;
    }
    return true;
}

void CDialog::EndDialog(INT_PTR result)
{
    m_ended = true;
    ::EndDialog(m_hWnd, result);
}

void CDialog::SetDlgItemText(int controlId, const CString& text)
{
    ::SetDlgItemTextW(m_hWnd, controlId, AsWide(text));
}

CString CDialog::GetDlgItemText(int controlId) const
{
    return GetWindowTextOf(GetDlgItem(controlId));
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const MessageMap map = GetMessageMap();
    for (std::size_t i = 0; i < map.count; ++i) {
        const MessageMapEntry& entry = map.entries[i];
        if (entry.message != message)
            continue;
        if (message == WM_COMMAND &&
            (LOWORD(wParam) != entry.controlId || HIWORD(wParam) != entry.notifyCode))
            continue;
        if (entry.handler(*this, message, wParam, lParam, result))
            return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
    }
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // An exception that unwinds through user32 is undefined behaviour: every one stops here, and
    // the dialog says so and closes, since its state can no longer be trusted.
    try {
        return Procedure(window, message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        Abandon(window, kOutOfMemoryText);
    } catch (...) {
        Abandon(window, kUnexpectedErrorText);
    }
    return FALSE;
}

void CDialog::Abandon(HWND window, const wchar_t* message) noexcept
{
    auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (dialog != nullptr) {
        // The message box runs its own loop: the dialog's messages meanwhile get the default
        // handling only, so one fault gives one message.
        if (dialog->m_abandoned)
            return;
        dialog->m_abandoned = true;
    }
    MessageBoxW(window, message, kAbandonCaption, MB_OK | MB_ICONERROR);
    ::EndDialog(window, IDABORT);
}

INT_PTR CDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
        return dialog->OnInitDialog();
    }
    dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr || dialog->m_abandoned)
        return FALSE;
    LRESULT result = 0;
    if (!dialog->Dispatch(message, wParam, lParam, result))
        return FALSE;
    if (ReturnsResultDirectly(message))
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

void DDX_Text(CDataExchange* pDX, int controlId, CString& value)
{
    if (pDX->failed())
        return;
    pDX->m_idLastControl = controlId;
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->GetDlgItemText(controlId);
    else
        pDX->m_pDlgWnd->SetDlgItemText(controlId, value);
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int maxChars)
{
    if (pDX->failed() || !pDX->m_bSaveAndValidate)
        return;
    const CString message = MaxCharsMessage(value, maxChars);
    if (message.empty())
        return;
    const CWinApp* app = AfxGetApp();
    MessageBoxW(pDX->m_pDlgWnd->GetSafeHwnd(), AsWide(message),
                app ? AsWide(app->m_strAppName) : L"", MB_OK | MB_ICONEXCLAMATION);
    pDX->Fail();
}

void DDX_Control(CDataExchange* pDX, int controlId, CWndControl& control)
{
    if (control.m_hWnd == nullptr)
        control.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(controlId);
}
