// The application object in the framework's manner: one global instance whose InitInstance
// runs the whole program. AfxWinMain is the body of the process's entry point.
#pragma once

#include <windows.h>

class CDialogEx;

// Register with the restart manager so that Windows restarts the program after an update.
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;

class CWinApp {
public:
    // The application's name is always the default one: the executable's base name
    // (AfxGetAppName).
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns FALSE to end the process without a message pump of the application's own.
    virtual BOOL InitInstance();

    CDialogEx* m_pMainWnd = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;
    // The process's exit code once InitInstance has returned.
    int m_nExitCode = 0;
};

// The one application object, or null before it is constructed.
CWinApp* AfxGetApp();

int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);
