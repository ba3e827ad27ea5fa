#include "app/tarnivex_app.h"

#include <windows.h>
#include <commctrl.h>

#include "app/command_line.h"
#include "app/switches.h"
#include "engine/optimisation_pass.h"
#include "ui/tarnivex_dlg.h"

CTarnivexApp theApp;

CTarnivexApp::CTarnivexApp() {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

BOOL CTarnivexApp::InitInstance() {
    switch (tvx::ParseAppCommand(::GetCommandLineW())) {
        case tvx::AppCommand::Revert:
            m_nExitCode = tvx::RunRevertCommand();
            return FALSE;
        case tvx::AppCommand::Exit:
            m_nExitCode = tvx::RunExitCommand();
            return FALSE;
        case tvx::AppCommand::Cleanup:
            m_nExitCode = tvx::RunCleanupCommand();
            return FALSE;
        case tvx::AppCommand::AutoRunRefresh:
            m_nExitCode = tvx::RunAutoRunRefreshCommand();
            return FALSE;
        case tvx::AppCommand::RunWindow:
            break;
    }

    // Version 6 common controls (from the manifest) need their classes registered.
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    CWinApp::InitInstance();

    {
        CTarnivexDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    // A pass may still be bringing a connection up (it takes no further one down once the exit
    // began): it is waited for as long as its restart may need, so none is left disconnected.
    tvx::WaitForPassesToEnd(tvx::Passes());
    // No application message pump: the process ends with the dialog.
    return FALSE;
}
