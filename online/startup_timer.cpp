#include "framework/internet.h"
#include "framework/message_box.h"
#include "online/connection_state.h"
#include "online/launch_record.h"
#include "online/online_endpoints.h"
#include "online/server_messages.h"
#include "online/usage_report.h"
#include "ui/tarnivex_dlg.h"

namespace {
constexpr wchar_t kUpdatePrompt[] =
    L"새로운 버전이 출시되었습니다! 최신 버전으로 업데이트하시겠습니까?";
}  // namespace

// Timer 1 ticks every second until the machine is online; the first online tick runs the
// once-per-run sequence on this thread. The caller passes the message on to the default
// processing afterwards.
void CTarnivexDlg::OnTimer(UINT_PTR id) {
    if (id != kStartupTimerId) return;
    if (!tvx::IsMachineOnline()) return;
    // Killed before any request or message box, so no tick can enter during their nested
    // loops. A tick that finds the timer already gone belongs to a sequence that has run.
    if (!::KillTimer(m_hWnd, kStartupTimerId)) return;

    BOOL offered = FALSE;
    try {
        if (tvx::UpdateLaunchRecord()) tvx::ReportUsage(tvx::kLiveReportUrl);
        tvx::ReportUsage(tvx::kRunReportUrl);
        offered = CheckForUpdate(tvx::kUpdateCheckUrl);
    } catch (const CInternetException&) {
        // No internet session could be opened at all: the same to the user as a server that
        // cannot be reached, and the rest of the sequence still runs.
        AfxMessageBox(tvx::kServerUnreachable, MB_OK);
        offered = FALSE;
    }

    if (offered) {
        // Declining also skips the automatic start for this run.
        if (AfxMessageBox(kUpdatePrompt, MB_YESNO | MB_ICONQUESTION) == IDYES)
            DownloadAndRunUpdate();
        return;
    }
    if (m_bAutoPing) StartOptimisationWorker(TRUE);
}
