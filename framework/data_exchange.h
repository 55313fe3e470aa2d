// Data exchange between a dialog's controls and its fields, with validation on the way back.
#pragma once

#include <windows.h>

#include "framework/control.h"
#include "text/text.h"

class CDialog;

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

void DDX_Text(CDataExchange* pDX, int controlId, CString& value);
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int maxChars);
void DDX_Control(CDataExchange* pDX, int controlId, CWndControl& control);
