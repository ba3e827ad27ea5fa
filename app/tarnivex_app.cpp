#include "app/tarnivex_app.h"

#include <windows.h>
#include <commctrl.h>

#include "app/command_line.h"
#include "app/switches.h"
#include "engine/optimisation_pass.h"
#include "framework/message_wait.h"
#include "ui/tarnivex_dlg.h"

namespace {
// How long the end of the program waits for optimisation workers (a pass restarting the network
// connections) before the process ends and takes them with it.
constexpr DWORD kWorkerWaitMs = 10000;
}  // namespace

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
    // A pass may still be restarting the connections: let it finish (bounded), so none is left
    // disconnected, while messages still flow.
    tvx::WaitPumpingMessages(tvx::Passes().turns.WorkersDoneEvent(), kWorkerWaitMs);
    // No application message pump: the process ends with the dialog.
    return FALSE;
}
