#include "framework/app.h"

#include <cwchar>

#include "text/wide.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app && g_app->m_hInstance ? g_app->m_hInstance : GetModuleHandleW(nullptr);
}

FARPROC SystemExport(const wchar_t* library, const char* name)
{
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr) {
        // By its full path in the system folder: never a DLL of that name beside the program.
        wchar_t path[MAX_PATH];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length + 1 + std::wcslen(library) >= MAX_PATH)
            return nullptr;
        path[length] = L'\\';
        std::wcscpy(path + length + 1, library);
        module = LoadLibraryW(path);
    }
    return module ? GetProcAddress(module, name) : nullptr;
}

CString GetWindowTextOf(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return CString();
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, &buffer[0], length + 1);
    return FromWide(buffer.c_str(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

// The program has no message loop of its own: InitInstance shows the modal dialog and returns
// false once it has closed, which ends the process.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return 1;
    app->m_hInstance = instance;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    // Outside any dialog procedure, an exception (say, no memory for the dialog object) still
    // ends the program with a word instead of an abort.
    try {
        app->m_strAppName = AppNameFromModulePath(FromWide(path, length < MAX_PATH ? length : 0));
        app->InitInstance();
        return app->m_nExitCode;
    } catch (...) {
        MessageBoxW(nullptr, L"Quor-kelvra met an unexpected error and must close.", L"Quor-kelvra",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
}
