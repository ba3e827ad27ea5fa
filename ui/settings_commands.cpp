// The settings menu's three commands.
#include "engine/optimisation_pass.h"
#include "framework/executable_path.h"
#include "framework/message_box.h"
#include "framework/ui_task.h"
#include "settings/settings_commands.h"
#include "settings/settings_store.h"
#include "ui/tarnivex_dlg.h"

// schtasks is waited for (a few seconds at most) on a worker, and the outcome comes back to this
// thread. The menu item does nothing meanwhile: a second toggle would race the first one's task.
void CTarnivexDlg::OnToggleAutoRun() {
    if (m_autoRunBusy || ExitBegun()) return;
    const BOOL wasOn = m_bAutoRun;
    const auto toggle = [wasOn, exe = tvx::ExecutablePath()] {
        return tvx::ToggleAutoRun(wasOn, exe);
    };
    const auto shown = [this](const tvx::AutoRunToggle& result) {
        m_autoRunBusy = false;
        m_bAutoRun = result.nowOn;
        // The program may have begun to end while schtasks ran: nobody is left to read a message.
        if (ExitBegun()) return;
        const tvx::AutoRunMessage message = tvx::AutoRunToggleMessage(result);
        if (message.text) AfxMessageBox(message.text, MB_OK | message.icon);
    };
    m_autoRunBusy = true;
    if (!tvx::RunThenPost(m_tasks, toggle, shown)) shown(toggle());
}

void CTarnivexDlg::OnToggleAutoPing() {
    m_bAutoPing = tvx::ToggleOption(tvx::kAutoPingValue, m_bAutoPing);
}

void CTarnivexDlg::OnToggleMemory() {
    m_bMemory = tvx::ToggleOption(tvx::kMemoryValue, m_bMemory);
    // A pass reads the option from the engine's request, after it has written the values.
    tvx::Passes().request.memory = m_bMemory != FALSE;
}
