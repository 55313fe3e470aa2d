// A modal dialog built from a template, with a message map and data exchange: the least of a window
// framework that the program uses.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "framework/text.h"

class CDialog;

// The caption of the message a dialog shows when an exception stopped it.
inline constexpr const wchar_t* kAbandonCaption = L"Quor-kelvra";

// One row of a message map. For WM_COMMAND the row also names the control and notification code.
// The handler returns true when it handled the message, with the message's result in `result`;
// false passes the message on to the dialog's default processing.
struct MessageMapEntry {
    UINT message;
    UINT controlId;
    UINT notifyCode;
    bool (*handler)(CDialog& dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

struct MessageMap {
    const MessageMapEntry* entries;
    std::size_t count;
};

// The state of one data exchange: towards the controls, or back into the fields with validation.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate)
    {
    }
    // Stops the exchange: later exchanges are skipped and UpdateData reports failure.
    void Fail() { m_failed = true; }
    bool failed() const { return m_failed; }

    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;
    // The control exchanged last: a validation that follows it is about its value.
    int m_idLastControl = 0;

private:
    bool m_failed = false;
};

// A child control bound to a member object through DDX_Control.
class CWndControl {
public:
    HWND m_hWnd = nullptr;
};

class CTabCtrl : public CWndControl {
public:
    bool InsertItem(int index, const CString& text);
};

// The list box messages the program sends, each with its own result.
class CListBox : public CWndControl {
public:
    // Where a sorted list box puts the line is its own choice.
    void AddString(const CString& text);
    // At the end (index -1) or at `index`, whether or not the list is sorted.
    void InsertString(int index, const CString& text);
    void ResetContent();
    // Reserves room for `items` more lines.
    void InitStorage(std::size_t items);
    // The locale whose comparison orders a sorted list.
    LCID GetLocale() const;
    // Off while many lines go in; on again repaints the whole list once.
    void SetRedraw(bool redraw);
    // Every line, in the order the list shows them.
    std::vector<CString> GetLines() const;
};

// A tooltip for some of a dialog's controls: hovering a control shows its text.
class CToolTipCtrl : public CWndControl {
public:
    // Wraps its texts at `maxWidth` pixels and shows each for `showMs`; false when it could not be
    // made (the dialog then simply has no tooltips).
    bool Create(HWND dialog, int maxWidth, int showMs);
    void AddTool(HWND control, const CString& text);
    void UpdateTipText(HWND control, const CString& text);

private:
    HWND m_hDialog = nullptr;
};

// Puts the text on the clipboard as Unicode text, for `owner`. False, with the system's error
// code, when the clipboard stayed held by another program or the text could not be stored.
bool SetClipboardText(HWND owner, const CString& text, DWORD& error);

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
    virtual MessageMap GetMessageMap() const { return {nullptr, 0}; }

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

void DDX_Text(CDataExchange* pDX, int controlId, CString& value);
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int maxChars);
void DDX_Control(CDataExchange* pDX, int controlId, CWndControl& control);
