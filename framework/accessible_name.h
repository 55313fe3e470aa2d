// What a screen reader says of a control, given by the program rather than taken from the
// control's text: a bitmap static's text is the number of its image, and a value's text is only
// the value, without the label that says what it is.
#pragma once

#include <windows.h>

#include "text/text.h"

// Answers Active Accessibility's request for a control's client object with Windows' own object
// for it, renamed: role, state, location, children and everything else stay the standard ones,
// and the control's text and image stay as they are. oleacc.dll is loaded only when a screen
// reader or another accessibility client first asks, so nobody else pays for it.
class CAccessibleName {
public:
    CAccessibleName() = default;
    CAccessibleName(const CAccessibleName&) = delete;
    CAccessibleName& operator=(const CAccessibleName&) = delete;
    ~CAccessibleName();

    void Attach(HWND control);
    // Tells a screen reader that follows the control that its name changed.
    void SetName(const CString& name);
    const CString& Name() const { return m_name; }
    HWND Window() const { return m_hWnd; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();

    HWND m_hWnd = nullptr;
    WNDPROC m_previous = nullptr;
    CString m_name;
};
