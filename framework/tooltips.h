// Tooltips over a dialog's controls.
#pragma once

#include <windows.h>

#include "framework/control.h"
#include "text/text.h"

// A tooltip for some of a dialog's controls: hovering a control shows its text.
class CToolTipCtrl : public CWndControl {
public:
    // Wraps its texts at `maxWidth` pixels and shows each for `showMs`; false when it could not be
    // made (the dialog then simply has no tooltips).
    bool Create(HWND dialog, int maxWidth, int showMs);
    void AddTool(HWND control, const CString& text);
    void UpdateTipText(HWND control, const CString& text);
    // For the keyboard, which hovers nothing: `text` shown below `control` until Hide, as hovering
    // it would show it.
    void ShowBelow(HWND control, const CString& text);
    void Hide();

private:
    HWND m_hDialog = nullptr;
    bool m_trackAdded = false;
};

