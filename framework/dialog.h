// A modal dialog built from a template, with a message map and data exchange: the least of a window
// framework that the program uses.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "framework/data_exchange.h"
#include "text/text.h"

// The caption of the message a dialog shows when an exception stopped it.
inline constexpr const wchar_t* kAbandonCaption = L"Quor-kelvra";

class CDialog {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    INT_PTR DoModal();
    bool UpdateData(bool saveAndValidate);
    void EndDialog(INT_PTR result);
    // EndDialog was called: the modal loop ends as soon as control returns to it.
    bool Ended() const { return m_ended; }

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int controlId) const { return ::GetDlgItem(m_hWnd, controlId); }
    void SetDlgItemText(int controlId, const CString& text);
    CString GetDlgItemText(int controlId) const;

protected:
    // Offered every message the modal loop takes for the dialog or one of its controls, before
    // the dialog's own keyboard handling sees it: true when it was handled and goes no further.
    // Keys that belong to the whole dialog (Ctrl+C) can only be caught here, whatever has focus.
    virtual bool PreTranslateMessage(const MSG&) { return false; }
    virtual void DoDataExchange(CDataExchange*) {}
    // Runs the exchange towards the controls. True lets the dialog give focus to its default control.
    virtual BOOL OnInitDialog();
    // OK exchanges back into the fields and closes only when every value is valid.
    virtual void OnOK();
    virtual void OnCancel();
    // A message for the dialog, before its default processing: true when it was handled, with its
    // result in `result`. A derived dialog handles its own in one switch.
    virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/)
    {
        return false;
    }

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);
    // PreTranslateMessage behind the same exception barrier as the dialog procedure.
    bool OfferMessage(const MSG& message);
    // Shows `message` and ends the dialog with IDABORT after an exception reached its procedure.
    static void Abandon(HWND window, const wchar_t* message) noexcept;
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    UINT m_templateId;
    HWND m_parent;
    bool m_abandoned = false;
    bool m_ended = false;
    // The dialog whose modal loop runs innermost, and the outer one its loop interrupted.
    static CDialog* s_modal;
    CDialog* m_outerModal = nullptr;
};

