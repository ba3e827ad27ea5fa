#include "app/tarnivex_app.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/tarnivex_dlg.h"

CTarnivexApp theApp;

CTarnivexApp::CTarnivexApp() {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

BOOL CTarnivexApp::InitInstance() {
    // Version 6 common controls (from the manifest) need their classes registered.
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    CWinApp::InitInstance();

    CTarnivexDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    // No application message pump: the process ends with the dialog.
    return FALSE;
}
