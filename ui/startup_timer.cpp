// Timer 1: ticks every second until the machine is online. The first online tick starts the
// once-per-run sequence: its requests (launch record, usage reports, update check) run in order
// on a worker, and the window's thread only takes the check's result, shows the boxes and starts
// the next step.
#include "framework/message_box.h"
#include "online/connection_state.h"
#include "online/online_endpoints.h"
#include "online/update_check.h"
#include "online/usage_report.h"
#include "ui/tarnivex_dlg.h"

namespace {
constexpr wchar_t kUpdatePrompt[] =
    L"새로운 버전이 출시되었습니다! 최신 버전으로 업데이트하시겠습니까?";
}  // namespace

// The caller passes the message on to the default processing afterwards.
void CTarnivexDlg::OnTimer(UINT_PTR id) {
    if (id != kStartupTimerId || ExitBegun()) return;
    if (!tvx::IsMachineOnline()) return;
    // Killed before any request, so the sequence starts once. A tick that finds the timer
    // already gone belongs to a sequence that has started.
    if (!::KillTimer(m_hWnd, kStartupTimerId)) return;

    const bool started = tvx::RunThenPost(
        m_tasks,
        [] {
            tvx::SendStartupReports();
            return RequestUpdateCheck(tvx::kUpdateCheckUrl);
        },
        [this](const tvx::UpdateCheck& check) { OnUpdateChecked(check); });
    if (!started) {
        // No thread for the requests: as when the site cannot be reached.
        tvx::UpdateCheck none;
        none.unreachable = true;
        OnUpdateChecked(none);
    }
}

void CTarnivexDlg::OnUpdateChecked(const tvx::UpdateCheck& check) {
    if (ExitBegun()) return;
    const BOOL offered = CheckForUpdate(check);
    // The unreachable message ran a loop of its own, in which the program may have begun to end.
    if (ExitBegun()) return;
    if (offered) {
        // Declining also skips the automatic start for this run.
        const int answer = AfxMessageBox(kUpdatePrompt, MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES && !ExitBegun()) {
            DownloadAndRunUpdate();
            return;
        }
        m_onlineDone = true;
        return;
    }
    StartAutoPingAndEndSequence();
}

void CTarnivexDlg::StartAutoPingAndEndSequence() {
    m_onlineDone = true;
    if (ExitBegun()) return;
    if (m_bAutoPing) StartOptimisationWorker(TRUE);
}
