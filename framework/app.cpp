#include "framework/app.h"

namespace {
CWinApp* g_app = nullptr;
}  // namespace

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    // No restart command line: a restarted copy starts exactly as a fresh one.
    if (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART) {
        ::RegisterApplicationRestart(nullptr, 0);
    }
    return TRUE;
}

CWinApp* AfxGetApp() { return g_app; }

int AfxWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    // Our programs do all their work inside InitInstance (a modal main window) and answer
    // FALSE; a TRUE answer would ask for an application message loop, which none needs.
    // Nothing may unwind out of the entry point: an escaped exception ends the process with 1.
    try {
        app->InitInstance();
    } catch (...) {
        return 1;
    }
    return app->m_nExitCode;
}
