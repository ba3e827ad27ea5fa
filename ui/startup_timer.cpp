// Timer 1: ticks every second until the machine is online; the first online tick runs the
// once-per-run sequence on this thread.
#include "framework/message_box.h"
#include "online/connection_state.h"
#include "online/online_endpoints.h"
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
    // Killed before any request or message box, so no tick can enter during their nested
    // loops. A tick that finds the timer already gone belongs to a sequence that has run.
    if (!::KillTimer(m_hWnd, kStartupTimerId)) return;

    tvx::SendStartupReports();
    const BOOL offered = CheckForUpdate(tvx::kUpdateCheckUrl);
    // A message box of the check runs a message loop of its own, in which the tray's exit may
    // have ended the program: then nothing more may happen here.
    if (ExitBegun()) return;
    if (offered) {
        // Declining also skips the automatic start for this run.
        const int answer = AfxMessageBox(kUpdatePrompt, MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES && !ExitBegun()) DownloadAndRunUpdate();
        return;
    }
    if (m_bAutoPing) StartOptimisationWorker(TRUE);
}
