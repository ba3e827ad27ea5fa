// The self-update after the user accepted the offer.
#include <windows.h>
#include <shellapi.h>
#include <urlmon.h>
#include <wininet.h>

#include "framework/message_box.h"
#include "framework/user_text.h"
#include "online/online_endpoints.h"
#include "online/self_update.h"
#include "online/update_reply.h"
#include "online/usage_report.h"
#include "ui/tarnivex_dlg.h"

// The version is recorded only once the client runs: a failed download or start keeps the
// program running and the offer open for the next start.
void CTarnivexDlg::DownloadAndRunUpdate() {
    const std::wstring target = tvx::ClientDownloadPath();
    // The client runs with our administrator rights: never fetch it over anything but https.
    if (target.empty() || !tvx::IsHttpsDownloadUrl(m_strUpdateUrl)) {
        AfxMessageBox(tvx::kDownloadFailed, MB_OK);
        return;
    }

    ::DeleteUrlCacheEntryW(m_strUpdateUrl.c_str());
    if (FAILED(::URLDownloadToFileW(nullptr, m_strUpdateUrl.c_str(), target.c_str(), 0, nullptr))) {
        AfxMessageBox(tvx::kDownloadFailed, MB_OK);
        return;
    }
    // From here until it has been started nobody else may touch the file: the temporary folder
    // is writable by every unelevated program of the user.
    tvx::UniqueFileHandle hold = tvx::HoldFileForLaunch(target);
    if (!hold) {
        AfxMessageBox(tvx::kDownloadFailed, MB_OK);
        return;
    }
    const HINSTANCE started =
        ::ShellExecuteW(nullptr, L"Open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    hold.reset();
    // ShellExecute reports success as a value above 32.
    if (reinterpret_cast<INT_PTR>(started) <= 32) {
        AfxMessageBox(tvx::kLaunchFailed, MB_OK);
        return;
    }

    tvx::SetRegistryString(tvx::kUpdateKey, tvx::kUpdateValue, m_strServerVersion.c_str());
    tvx::ReportUsage(tvx::kUpdateReportUrl);
    // Unlike the tray's exit, the game-ping values and the tray icon are left as they are.
    CDialogEx::OnCancel();
}
