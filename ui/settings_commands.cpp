// The settings menu's three commands.
#include "engine/optimisation_pass.h"
#include "framework/executable_path.h"
#include "framework/message_box.h"
#include "settings/settings_commands.h"
#include "settings/settings_store.h"
#include "ui/tarnivex_dlg.h"

namespace {
constexpr wchar_t kAutoRunNeedsInstall[] =
    L"윈도우 실행시 프로그램 자동실행은 설치된 프로그램에서만 사용할 수 있습니다.";
constexpr wchar_t kAutoRunCreateFailed[] = L"자동 실행 작업을 만들지 못했습니다.";
constexpr wchar_t kAutoRunDeleteFailed[] = L"자동 실행 작업을 삭제하지 못했습니다.";

// schtasks is waited for with messages flowing, so the menu can be chosen again meanwhile: a
// second toggle then would race the first one's task.
bool g_autoRunBusy = false;
}  // namespace

void CTarnivexDlg::OnToggleAutoRun() {
    if (g_autoRunBusy) return;
    g_autoRunBusy = true;
    const tvx::AutoRunToggle toggle = tvx::ToggleAutoRun(m_bAutoRun, tvx::ExecutablePath());
    g_autoRunBusy = false;
    m_bAutoRun = toggle.nowOn;
    // The program may have begun to end while schtasks ran: nobody is left to read a message.
    if (ExitBegun()) return;
    if (toggle.needsInstalledCopy) AfxMessageBox(kAutoRunNeedsInstall, MB_OK | MB_ICONINFORMATION);
    if (toggle.createFailed) AfxMessageBox(kAutoRunCreateFailed, MB_OK | MB_ICONWARNING);
    if (toggle.deleteFailed) AfxMessageBox(kAutoRunDeleteFailed, MB_OK | MB_ICONWARNING);
}

void CTarnivexDlg::OnToggleAutoPing() {
    m_bAutoPing = tvx::ToggleOption(tvx::kAutoPingValue, m_bAutoPing);
}

void CTarnivexDlg::OnToggleMemory() {
    m_bMemory = tvx::ToggleOption(tvx::kMemoryValue, m_bMemory);
    // A pass reads the option from the engine's request, after it has written the values.
    tvx::Passes().request.memory = m_bMemory != FALSE;
}
