#include "app/switches.h"

#include <windows.h>

#include "engine/tcp_tuning.h"
#include "framework/executable_path.h"
#include "framework/protected_home.h"
#include "framework/scoped.h"
#include "framework/std_output.h"
#include "settings/settings_commands.h"
#include "ui/exit_request.h"
#include "ui/startup_gates.h"

namespace tvx {

namespace {
// How long the running instance may take to end: its exit waits for a pass's last reconnect.
constexpr DWORD kExitWaitMs = 30000;
}  // namespace

int RunRevertCommand() {
    AttachParentConsoleOutput();
    const TuningOutcome outcome = RevertTcpTuning();
    return outcome.ok() ? 0 : 1;
}

int RunExitCommand() {
    const HWND window = FindMainWindow();
    if (!window) return 0;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    DWORD_PTR answer = 0;
    // The handler ends the dialog; a hung window or one that refuses our message (another
    // user's, or one with more rights) answers nothing.
    if (!::SendMessageTimeoutW(window, ExitRequestMessage(), 0, 0, SMTO_ABORTIFHUNG, kExitWaitMs,
                               &answer)) {
        return 1;
    }
    if (process) return ::WaitForSingleObject(process.get(), kExitWaitMs) == WAIT_OBJECT_0 ? 0 : 1;
    // Without a handle to wait on (another user's process), its window tells when it has gone.
    const ULONGLONG deadline = ::GetTickCount64() + kExitWaitMs;
    while (::IsWindow(window)) {
        if (::GetTickCount64() >= deadline) return 1;
        ::Sleep(50);
    }
    return 0;
}

int RunCleanupCommand() { return RemoveProtectedHome() ? 0 : 1; }

int RunAutoRunRefreshCommand() {
    const bool home = static_cast<bool>(OpenProtectedHome());
    const int task = RefreshAutoRunTask(ExecutablePath());
    return home && task == 0 ? 0 : 1;
}

}  // namespace tvx
