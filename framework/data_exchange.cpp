#include "framework/data_exchange.h"

#include "framework/app.h"
#include "framework/dialog.h"
#include "text/wide.h"

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
