// Runs AutoRun's command from the folder it was copied to, as the program does: "create" flips it
// from off, "delete" from on, "shown" tells what the check mark shows at start for the stored
// option, and "refresh" does what the setup asks for with /autorun-refresh. The exit code is the
// resulting state (1 on; for "refresh" the switch's own code); the message the window would show is
// written to standard output (UTF-8, one line).
#include <windows.h>

#include <string>

#include "framework/executable_path.h"
#include "framework/std_output.h"
#include "settings/settings_commands.h"
#include "settings/settings_store.h"

namespace {
void Print(const std::wstring& text) {
    const std::string line = tvx::ToUtf8(text) + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                &written, nullptr);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring mode = argv[1];
    if (mode == L"shown") {
        return tvx::AutoRunShown(tvx::LoadSettings().autoRun, tvx::ExecutablePath());
    }
    if (mode == L"refresh") return tvx::RefreshAutoRunTask(tvx::ExecutablePath());
    const tvx::AutoRunToggle toggle =
        tvx::ToggleAutoRun(mode == L"delete" ? TRUE : FALSE, tvx::ExecutablePath());
    if (const wchar_t* text = tvx::AutoRunToggleMessage(toggle).text) Print(text);
    return toggle.nowOn ? 1 : 0;
}
