#include "app/quorkelvra_app.h"

#include <commctrl.h>

#include <cstdlib>

#include "app/main_dialog.h"
#include "app/session_end.h"
#include "app/unattended.h"
#include "framework/owners.h"
#include "text/wide.h"
#include "platform/win32_platform.h"

CQuorkelvraApp theApp;

namespace {

// Whether anything follows the program's name, which is quoted or ends at the first blank.
bool HasArguments(const wchar_t* line)
{
    if (*line == L'"') {
        for (++line; *line != L'\0' && *line != L'"'; ++line) {
        }
        if (*line == L'"')
            ++line;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return *line != L'\0';
}

// The arguments after the program's name, split as the C runtime would split them. A start from
// Explorer has none, and then shell32 is never loaded: it would cost every start its loading.
std::vector<CString> CommandLineArguments()
{
    std::vector<CString> arguments;
    if (!HasArguments(GetCommandLineW()))
        return arguments;
    using SplitFn = LPWSTR*(WINAPI*)(LPCWSTR, int*);
    const auto split = reinterpret_cast<SplitFn>(reinterpret_cast<void*>(SystemExport(L"shell32.dll", "CommandLineToArgvW")));
    if (split == nullptr) {
        // Never without its arguments, or a /silent run would open the dialog: the C runtime
        // split them too, at start.
        for (int i = 1; i < __argc; ++i)
            arguments.push_back(FromWide(__wargv[i]));
        return arguments;
    }
    int count = 0;
    LPWSTR* words = split(GetCommandLineW(), &count);
    const LocalMemory owner(words);
    if (words == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(FromWide(words[i]));
    return arguments;
}

}  // namespace

BOOL CQuorkelvraApp::InitInstance()
{
    CommandLine line = ParseCommandLine(CommandLineArguments());
    PrepareProcess(SystemPlatform(), line.silent);
    RefuseOneFileForBoth(SystemPlatform(), line);
    // Unattended: no window of any kind, ever; the exit code tells the fleet tool the outcome.
    if (line.silent) {
        try {
            SessionEndWatch sessionEnd(SystemPlatform());
            m_nExitCode = RunUnattended(SystemPlatform(), line, [&sessionEnd] { return sessionEnd.Ending(); });
        } catch (...) {
            // Not even the entry point's message box: there is nobody to click it.
            m_nExitCode = ExitCode(RunOutcome::CheckCouldNotRun);
        }
        // Everything is written and flushed. A WMI worker may still be blocked inside Windows, and
        // ending the usual way waits on what the process's threads hold: the code must not.
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(m_nExitCode));
        return FALSE;
    }
    if (!line.error.empty() || line.help) {
        const CString text = line.error.empty() ? CString(kUsageText) : line.error + u"\r\n\r\n" + kUsageText;
        MessageBoxW(nullptr, AsWide(text), AsWide(m_strAppName),
                    MB_OK | (line.error.empty() ? MB_ICONINFORMATION : MB_ICONERROR));
        m_nExitCode = ExitCode(line.error.empty() ? RunOutcome::AllPass : RunOutcome::BadCommandLine);
        return FALSE;
    }

    // Without this the version 6 common controls that the manifest asks for are not registered.
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    CQuorkelvraDlg dialog;
    if (line.reportPath)
        dialog.m_reportPath = *line.reportPath;
    dialog.m_jsonPath = line.jsonPath;
    dialog.DoModal();
    // The dialog was the whole program: returning false ends the process.
    return FALSE;
}
