#include "app/open_report_dialog.h"

#include <commdlg.h>

#include "framework/app.h"
#include "text/wide.h"

FileChoice ChooseReportFile(HWND owner, CString& chosen)
{
    static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEW) == 88, "the open-file record is the full layout");
    wchar_t path[256] = {};
    wchar_t folder[256] = {};
    // A current folder that does not fit is not passed: the dialog then opens at its default.
    const DWORD folderLength = GetCurrentDirectoryW(256, folder);
    OPENFILENAMEW choice = {};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = owner;
    choice.lpstrFilter = L"Quor-KELVRA files\0*.vkh\0";
    choice.nFilterIndex = 1;
    choice.lpstrFile = path;
    choice.nMaxFile = 256;
    choice.lpstrInitialDir = folderLength > 0 && folderLength < 256 ? folder : nullptr;
    choice.lpstrTitle = L"Import Kelvra File";
    choice.Flags = OFN_PATHMUSTEXIST;
    choice.lpstrDefExt = L"vkh";
    // A path too long for the buffer also comes back as a failure, with the buffer holding its
    // required size instead of a path: it must not be taken for a file name.
    // comdlg32 is loaded here, not with the program: most starts never open the dialog.
    const auto getOpenFileName = reinterpret_cast<BOOL(WINAPI*)(LPOPENFILENAMEW)>(
        reinterpret_cast<void*>(SystemExport(L"comdlg32.dll", "GetOpenFileNameW")));
    const auto extendedError = reinterpret_cast<DWORD(WINAPI*)()>(
        reinterpret_cast<void*>(SystemExport(L"comdlg32.dll", "CommDlgExtendedError")));
    if (getOpenFileName == nullptr || extendedError == nullptr)
        return FileChoice::Cancelled;
    if (!getOpenFileName(&choice))
        return extendedError() == FNERR_BUFFERTOOSMALL ? FileChoice::PathTooLong : FileChoice::Cancelled;
    if (path[0] == L'\0')
        return FileChoice::Cancelled;
    chosen = FromWide(path);
    return FileChoice::Chosen;
}
