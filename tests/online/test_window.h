// The main window created in the test's own process: initialised (timer 1 running) and hidden.
// Its workers report through its queue, so a case pumps the thread's messages while it waits.
#pragma once

#include <windows.h>

#include "tests/support/app_driver.h"
#include "ui/tarnivex_dlg.h"

namespace tvx::test {

class TestWindow : public CTarnivexDlg {
public:
    TestWindow() {
        Create();
        if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
    }
    ~TestWindow() override {
        if (m_nid.hWnd) ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
        if (m_hWnd) ::DestroyWindow(m_hWnd);
    }
    // Ends the timer; true when it was still running.
    bool KillStartupTimer() { return ::KillTimer(m_hWnd, kStartupTimerId) != FALSE; }
    // Dispatches the window's messages until the online sequence has reached its end.
    bool RunSequence(DWORD timeoutMs = 60000) {
        return PumpUntil([&] { return OnlineSequenceDone(); }, timeoutMs);
    }
};

}  // namespace tvx::test
