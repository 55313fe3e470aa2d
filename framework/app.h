// The application object: one global instance whose InitInstance the program's entry point runs.
#pragma once

#include <windows.h>

#include "text/text.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }

    HINSTANCE m_hInstance = nullptr;
    // The executable's file name without its extension: the caption of the program's message boxes.
    CString m_strAppName;
    // What the process ends with once InitInstance has returned.
    int m_nExitCode = 0;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();

// An export of a system DLL, loaded from the system folder at the first call and kept for the
// program's life; null when it is missing. For DLLs most starts never need: each one imported costs
// every start its loading.
FARPROC SystemExport(const wchar_t* library, const char* name);

// The whole text of a window; empty when it has none or the window does not exist.
CString GetWindowTextOf(HWND window);
