// The settings menu's three commands.
#include "engine/optimisation_pass.h"
#include "framework/executable_path.h"
#include "framework/message_box.h"
#include "settings/settings_commands.h"
#include "settings/settings_store.h"
#include "ui/tarnivex_dlg.h"

namespace {
constexpr wchar_t kAutoRunNeedsInstall[] =
    L"Windows 시작 시 자동 실행은 설치된 프로그램에서만 사용할 수 있습니다.";
}  // namespace

void CTarnivexDlg::OnToggleAutoRun() {
    const tvx::AutoRunToggle toggle =
        tvx::ToggleAutoRun(m_bAutoRun, tvx::ExecutablePath(), tvx::ProgramFilesFolder());
    m_bAutoRun = toggle.nowOn;
    if (toggle.needsInstalledCopy) AfxMessageBox(kAutoRunNeedsInstall, MB_OK | MB_ICONINFORMATION);
}

void CTarnivexDlg::OnToggleAutoPing() {
    m_bAutoPing = tvx::ToggleOption(tvx::kAutoPingValue, m_bAutoPing);
}

void CTarnivexDlg::OnToggleMemory() {
    m_bMemory = tvx::ToggleOption(tvx::kMemoryValue, m_bMemory);
    // A pass reads the option from the engine's request, after it has written the values.
    tvx::Passes().request.memory = m_bMemory != FALSE;
}
