// The self-update after the user accepted the offer: download into a folder only administrators
// can write, verify the signer and that it is a newer setup of ours, then hand over to the new
// client in an order that lets it take over the moment it runs. The download and the report run on
// workers; each step after them runs on the window's thread when the worker before it has reported,
// so the window answers throughout and nothing waits inside a loop of its own.
#include <atomic>
#include <memory>
#include <optional>
#include <utility>

#include "engine/optimisation_pass.h"
#include "framework/message_box.h"
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

// One accepted offer, from the download to the hand-over. Shared with the download's worker,
// which writes into the file: the file stays open until the worker has let go of it too.
struct CTarnivexDlg::UpdateRun {
    explicit UpdateRun(tvx::UpdateFolder made) : folder(std::move(made)) {}
    tvx::UpdateFolder folder;
    tvx::UniqueFileHandle file;
    std::shared_ptr<tvx::DownloadControl> control = std::make_shared<tvx::DownloadControl>();
    // What the progress window last showed, so that a byte count that changes nothing on the
    // screen posts nothing.
    std::atomic<ULONGLONG> shown{~0ULL};
    // When the last change was posted: at most one a tenth of a second, since a download of
    // unknown size changes its KiB count thousands of times.
    std::atomic<ULONGLONG> postedAt{0};
    // Held, shared for reading only, until the client runs: what was verified is what starts.
    tvx::UniqueFileHandle hold;
    std::optional<tvx::SuspendedClient> client;
};

namespace {
constexpr ULONGLONG kProgressPostIntervalMs = 100;

// The unit the progress window shows: a percent when the size is known, else KiB.
ULONGLONG ShownUnit(ULONGLONG received, ULONGLONG total) {
    if (total == 0) return received / 1024;
    return (received >= total ? 100 : received * 100 / total) | (1ULL << 63);
}
}  // namespace

// Any failure keeps the program running with nothing recorded, so the offer comes again at the
// next start, and the automatic start still follows. The game-ping values are never reverted on
// this path.
void CTarnivexDlg::DownloadAndRunUpdate() {
    if (ExitBegun() || m_update) return;
    auto run = std::make_shared<UpdateRun>(tvx::UpdateFolder::Create());
    if (run->folder) run->file = run->folder.CreateClientFile();
    if (!run->file) {
        UpdateFailed(tvx::kDownloadFailed, MB_OK);
        return;
    }

    // Progress comes from the worker as posted closures; only a change on the screen is posted.
    run->control->progressed = [tasks = m_tasks, this, weak = std::weak_ptr<UpdateRun>(run)](
                                   ULONGLONG received, ULONGLONG total) {
        const std::shared_ptr<UpdateRun> run = weak.lock();
        if (!run) return;
        const ULONGLONG now = ::GetTickCount64();
        if (now - run->postedAt.load() < kProgressPostIntervalMs) return;
        const ULONGLONG unit = ShownUnit(received, total);
        if (run->shown.exchange(unit) == unit) return;
        run->postedAt.store(now);
        tasks->Post([this, received, total] { OnDownloadProgress(received, total); });
    };
    m_update = run;
    m_progress = std::make_unique<CUpdateProgressDlg>(m_hWnd, [this] {
        // Stopped at once; its end then comes back as a failed download. The window goes once
        // its own handler has returned.
        if (m_update) m_update->control->Cancel();
        m_tasks->Post([this] { CloseUpdateProgress(); });
    });
    if (m_progress->Create()) {
        m_progress->CenterWindow();
        ::ShowWindow(m_progress->GetSafeHwnd(), SW_SHOW);
        // As over a modal window: the main window takes no input meanwhile.
        if (m_hWnd) ::EnableWindow(m_hWnd, FALSE);
    }

    const bool started = tvx::RunThenPost(
        m_tasks,
        [run, url = m_strUpdateUrl, limits = tvx::ClientDownloadLimits()] {
            return tvx::DownloadClient(url, run->file.get(), limits, *run->control);
        },
        [this, run](const tvx::DownloadResult& result) { OnDownloadEnded(run, result); });
    if (!started) OnDownloadEnded(run, tvx::DownloadResult{});
}

void CTarnivexDlg::OnDownloadProgress(ULONGLONG received, ULONGLONG total) {
    if (m_progress) m_progress->ShowProgress(received, total);
}

void CTarnivexDlg::CloseUpdateProgress() {
    if (m_update) m_update->control->Cancel();
    if (!m_progress) return;
    if (m_hWnd) ::EnableWindow(m_hWnd, TRUE);
    m_progress.reset();  // destroys the window
}

void CTarnivexDlg::UpdateFailed(const wchar_t* text, UINT type) {
    AfxMessageBox(text, type);
    StartAutoPingAndEndSequence();
}

void CTarnivexDlg::OnDownloadEnded(const std::shared_ptr<UpdateRun>& run,
                                   const tvx::DownloadResult& result) {
    if (run != m_update) return;
    m_update.reset();
    CloseUpdateProgress();
    // Closed for writing: a program that anyone holds open for writing cannot be started.
    run->file.reset();
    if (ExitBegun()) return;
    if (!result.ok()) {
        UpdateFailed(tvx::kDownloadFailed, MB_OK);
        return;
    }

    // Verification, on a worker (hashing a large file takes a while): the file held against
    // change, then its signer, then that it is a newer setup of ours.
    run->hold = run->folder.OpenClientForStart();
    if (!run->hold) {
        UpdateFailed(tvx::kDownloadFailed, MB_OK);
        return;
    }
    const auto verify = [file = run->hold.get(), path = run->folder.ClientPath()] {
        if (!tvx::SignedByListedSigner(tvx::CheckSignature(file, path),
                                       tvx::TrustedUpdateSigners())) {
            return tvx::kNotVerified;
        }
        // Signed by us is not enough: only a setup newer than this program may run, never an
        // older build or the uninstaller.
        if (!tvx::IsNewerTarnivexSetup(tvx::ReadVersionFacts(file), tvx::OwnProductVersion())) {
            return tvx::kNotNewerSetup;
        }
        return static_cast<const wchar_t*>(nullptr);
    };
    // The worker only reads through the hold, which `run` keeps open until the verdict is in.
    const auto verified = [this, run](const wchar_t* refusal) { OnClientVerified(run, refusal); };
    if (!tvx::RunThenPost(m_tasks, verify, verified)) verified(verify());
}

void CTarnivexDlg::OnClientVerified(const std::shared_ptr<UpdateRun>& run, const wchar_t* refusal) {
    if (ExitBegun()) return;
    if (refusal) {
        UpdateFailed(refusal, MB_OK | MB_ICONWARNING);
        return;
    }
    // Launch: suspended until the hand-over lets it run, and ended again on every way out of
    // here until then.
    if (auto client = tvx::StartClientSuspended(run->folder.ClientPath(), run->folder.path(),
                                                tvx::kSetupUpdateSwitches)) {
        run->client.emplace(std::move(*client));
    } else {
        UpdateFailed(tvx::kLaunchFailed, MB_OK);
        return;
    }
    HandOverToClient(run);
}

// The hand-over, in this order: the icon deleted, the single-instance mutex released and closed,
// and only then the client resumed; once it runs, the passes closed, the version recorded, the
// "update" report sent and the passes waited for, and the dialog ended. The client waits,
// suspended, until this process has let go of what it would otherwise find taken: the setup
// starts the new program, which meeting our mutex would hand over to this ending copy and quit.
// The setup itself waits for this process to end before it replaces any file, so the passes are
// closed only once the client runs. A client that cannot be resumed is ended, and this copy
// stays the program.
void CTarnivexDlg::HandOverToClient(std::shared_ptr<UpdateRun> run) {
    const NOTIFYICONDATAW icon = m_nid;
    // Deleted now: the shell would show a dead icon until the pointer passed over it.
    if (m_nid.hWnd) ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
    m_nid.hWnd = nullptr;
    tvx::LeaveSingleInstance();
    if (!tvx::ResumeClient(*run->client)) {
        tvx::EnterSingleInstance();
        m_nid = icon;
        if (m_nid.hWnd) ::Shell_NotifyIconW(NIM_ADD, &m_nid);
        UpdateFailed(tvx::kLaunchFailed, MB_OK);
        return;
    }
    run->folder.Keep();  // the client runs from it; the next start removes it
    run->hold.reset();
    m_onlineDone = true;
    // From here on no press starts a pass and no pass takes a connection down.
    BeginExit();
    tvx::SetRegistryString(tvx::kUpdateKey, tvx::kUpdateValue, m_strServerVersion.c_str());
    // The report and the wait for a pass still bringing a connection up run on a worker; the
    // window keeps answering meanwhile.
    const auto reportAndWait = [] {
        tvx::ReportUsage(tvx::kUpdateReportUrl);
        return tvx::WaitForPassesToEnd(tvx::Passes());
    };
    // Unlike the tray's exit, the game-ping values are left as they are.
    const auto finish = [this](bool) { CDialogEx::OnCancel(); };
    if (!tvx::RunThenPost(m_tasks, reportAndWait, finish)) finish(reportAndWait());
}
