// Runs AutoRun's command from the folder it was copied to, as the program does: "create" flips it
// from off, "delete" from on, "shown" tells what the check mark shows at start for the stored
// option, and "refresh" does what the setup asks for with /autorun-refresh. The exit code is the
// resulting state (1 on; for "refresh" the switch's own code); each message box's text is written
// to standard output (UTF-8, one line) and answered at once.
#include <windows.h>

#include <string>

#include "framework/executable_path.h"
#include "framework/message_box.h"
#include "framework/std_output.h"
#include "settings/settings_commands.h"
#include "settings/settings_store.h"
#include "ui/tarnivex_dlg.h"

namespace {
int AnswerOk(const std::wstring& text, UINT) {
    const std::string line = tvx::ToUtf8(text) + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                &written, nullptr);
    return IDOK;
}

class ProbeWindow : public CTarnivexDlg {
public:
    ProbeWindow() {
        Create();
        if (m_hWnd) {
            ::ShowWindow(m_hWnd, SW_HIDE);
            ::KillTimer(m_hWnd, kStartupTimerId);
        }
    }
    ~ProbeWindow() override {
        if (m_nid.hWnd) ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
        if (m_hWnd) ::DestroyWindow(m_hWnd);
    }
};
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring mode = argv[1];
    if (mode == L"shown") {
        return tvx::AutoRunShown(tvx::LoadSettings().autoRun, tvx::ExecutablePath());
    }
    if (mode == L"refresh") return tvx::RefreshAutoRunTask(tvx::ExecutablePath());
    tvx::SetMessageBoxHook(&AnswerOk);
    // The toggle waits for schtasks on a worker and reports to the window's thread: the window
    // exists (hidden, its start-up timer stopped) and this thread dispatches until it has.
    ProbeWindow dlg;
    if (!dlg.GetSafeHwnd()) return 3;
    dlg.m_bAutoRun = mode == L"delete" ? TRUE : FALSE;
    dlg.OnToggleAutoRun();
    const ULONGLONG deadline = ::GetTickCount64() + 20000;
    while (dlg.AutoRunToggleBusy() && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return dlg.m_bAutoRun ? 1 : 0;
}
