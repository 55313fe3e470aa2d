#include "app/quorkelvra_app.h"

#include <commctrl.h>

#include "app/main_dialog.h"
#include "app/session_end.h"
#include "app/unattended.h"
#include "text/wide.h"
#include "platform/win32_platform.h"

CQuorkelvraApp theApp;

BOOL CQuorkelvraApp::InitInstance()
{
    CommandLine line = ParseCommandLine(CommandLineWords(FromWide(GetCommandLineW())));
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
