// The self-update after the user accepted the offer: download into a folder only administrators
// can write, verify the signer, then hand over to the new client in an order that lets it take
// over the moment it runs.
#include "engine/optimisation_pass.h"
#include "framework/message_box.h"
#include "framework/message_wait.h"
#include "framework/user_text.h"
#include "online/client_download.h"
#include "online/client_signature.h"
#include "online/client_version.h"
#include "online/online_endpoints.h"
#include "online/self_update.h"
#include "online/update_folder.h"
#include "online/update_reply.h"
#include "online/usage_report.h"
#include "ui/startup_gates.h"
#include "ui/tarnivex_dlg.h"
#include "ui/update_progress_dlg.h"

namespace {
// After a cancel, the download's thread still holds the file until its call in progress fails.
constexpr DWORD kDownloadStopWaitMs = 60000;
// A pass restarting the connections is let finish before the process ends.
constexpr DWORD kPassWaitMs = 10000;
}  // namespace

// Any failure keeps the program running with nothing recorded, so the offer comes again at the
// next start. The game-ping values are never reverted on this path.
void CTarnivexDlg::DownloadAndRunUpdate() {
    if (ExitBegun()) return;
    tvx::UpdateFolder folder = tvx::UpdateFolder::Create();
    tvx::UniqueFileHandle file = folder ? folder.CreateClientFile() : tvx::UniqueFileHandle();
    if (!file) {
        AfxMessageBox(tvx::kDownloadFailed, MB_OK);
        return;
    }

    tvx::DownloadResult result;
    {
        tvx::BackgroundDownload download(m_strUpdateUrl, file.get(), tvx::ClientDownloadLimits());
        m_download = &download.control();
        CUpdateProgressDlg progress(m_hWnd, download);
        progress.DoModal();
        tvx::WaitPumpingMessages(download.DoneEvent(), kDownloadStopWaitMs);
        result = download.Finish();
        m_download = nullptr;
    }
    // Closed for writing: a program that anyone holds open for writing cannot be started.
    file.reset();
    // The window stayed responsive during the download: its exit may have run meanwhile.
    if (ExitBegun()) return;
    if (!result.ok()) {
        AfxMessageBox(tvx::kDownloadFailed, MB_OK);
        return;
    }

    // Held, shared for reading only, until the client runs: what was verified is what starts.
    tvx::UniqueFileHandle hold = folder.OpenClientForStart();
    if (!hold) {
        AfxMessageBox(tvx::kDownloadFailed, MB_OK);
        return;
    }
    const tvx::SignatureCheck signature = tvx::CheckSignature(hold.get(), folder.ClientPath());
    if (!tvx::SignedByListedSigner(signature, tvx::TrustedUpdateSigners())) {
        AfxMessageBox(tvx::kNotVerified, MB_OK | MB_ICONWARNING);
        return;
    }
    // Signed by us is not enough: only a setup newer than this program may run, never an
    // older build or the uninstaller.
    if (!tvx::IsNewerTarnivexSetup(tvx::ReadVersionFacts(hold.get()), tvx::OwnProductVersion())) {
        AfxMessageBox(tvx::kNotNewerSetup, MB_OK | MB_ICONWARNING);
        return;
    }
    // Ended again on every way out of here until it runs.
    std::optional<tvx::SuspendedClient> client =
        tvx::StartClientSuspended(folder.ClientPath(), folder.path(), tvx::kSetupUpdateSwitches);
    if (!client) {
        AfxMessageBox(tvx::kLaunchFailed, MB_OK);
        return;
    }

    // The hand-over. The client waits, suspended, until this process has let go of what it
    // would otherwise find taken: the setup starts the new program, which meeting our mutex
    // would hand over to this ending copy and quit. The setup itself waits for this process to
    // end before it replaces any file, so the passes are closed only once the client runs.
    const NOTIFYICONDATAW icon = m_nid;
    // Deleted now: the shell would show a dead icon until the pointer passed over it.
    if (m_nid.hWnd) ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
    m_nid.hWnd = nullptr;
    tvx::LeaveSingleInstance();
    if (!tvx::ResumeClient(*client)) {
        // Nothing runs: this copy stays the program.
        tvx::EnterSingleInstance();
        m_nid = icon;
        if (m_nid.hWnd) ::Shell_NotifyIconW(NIM_ADD, &m_nid);
        AfxMessageBox(tvx::kLaunchFailed, MB_OK);
        return;
    }
    folder.Keep();  // the client runs from it; the next start removes it
    hold.reset();
    BeginExit();
    tvx::SetRegistryString(tvx::kUpdateKey, tvx::kUpdateValue, m_strServerVersion.c_str());
    tvx::ReportUsage(tvx::kUpdateReportUrl);
    tvx::WaitPumpingMessages(tvx::Passes().turns.WorkersDoneEvent(), kPassWaitMs);
    // Unlike the tray's exit, the game-ping values are left as they are.
    CDialogEx::OnCancel();
}
