#include "framework/dialog.h"

#include <commctrl.h>

#include <cstring>
#include <new>

#include "framework/app.h"
#include "text/wide.h"

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
    if (OnMessage(message, wParam, lParam, result))
        return true;
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

