#include "framework/dialog.h"

#include <commctrl.h>

#include <new>

#include "framework/app.h"
#include "framework/wide.h"

namespace {

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

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CDialog::DoModal()
{
    return DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_templateId), m_parent,
                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
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
        Abandon(window, L"Quor-kelvra ran out of memory and must close.");
    } catch (...) {
        Abandon(window, L"Quor-kelvra met an unexpected error and must close.");
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
