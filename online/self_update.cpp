#include "online/self_update.h"

#include <windows.h>
#include <shellapi.h>
#include <urlmon.h>
#include <wininet.h>

#include "framework/internet.h"
#include "framework/message_box.h"
#include "online/online_endpoints.h"
#include "online/update_reply.h"
#include "online/usage_report.h"
#include "online/user_record.h"
#include "ui/tarnivex_dlg.h"

namespace tvx {

std::wstring ClientDownloadPath() {
    wchar_t dir[MAX_PATH] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH, dir);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring path(dir, n);
    if (path.back() != L'\\') path.push_back(L'\\');
    path += kClientFileName;
    return path;
}

UniqueFileHandle HoldFileForLaunch(const std::wstring& path) {
    return UniqueFileHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace tvx

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

    tvx::WriteUserText(tvx::kUpdateKey, tvx::kUpdateValue, m_strServerVersion.c_str());
    try {
        tvx::ReportUsage(tvx::kUpdateReportUrl);
    } catch (const CInternetException&) {
        // The new client is already running; the count is all that is lost.
    }
    // Unlike the tray's exit, the game-ping values and the tray icon are left as they are.
    CDialogEx::OnCancel();
}
