#include "app/quorkelvra_app.h"

#include <commctrl.h>

#include "app/main_dialog.h"

CQuorkelvraApp theApp;

BOOL CQuorkelvraApp::InitInstance()
{
    // Without this the version 6 common controls that the manifest asks for are not registered.
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    CQuorkelvraDlg dialog;
    dialog.DoModal();
    // The dialog was the whole program: returning false ends the process.
    return FALSE;
}
