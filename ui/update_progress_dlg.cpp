#include "ui/update_progress_dlg.h"

#include <commctrl.h>

#include <string>

#include "online/self_update.h"
#include "res/resource.h"

namespace {
constexpr UINT_PTR kRefreshTimerId = 1;
constexpr UINT kRefreshMs = 100;
}  // namespace

CUpdateProgressDlg::CUpdateProgressDlg(HWND owner, tvx::BackgroundDownload& download)
    : CDialogEx(IDD_UPDATE_PROGRESS, owner), m_download(download) {}

BOOL CUpdateProgressDlg::OnInitDialog() {
    ::SendDlgItemMessageW(m_hWnd, IDC_UPDATE_BAR, PBM_SETRANGE32, 0, 100);
    // The download's thread only counts; this window reads the counts on its own timer.
    ::SetTimer(m_hWnd, kRefreshTimerId, kRefreshMs, nullptr);
    Refresh();
    return TRUE;
}

void CUpdateProgressDlg::OnCancel() {
    m_download.control().Cancel();
    CDialogEx::OnCancel();
}

bool CUpdateProgressDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_TIMER && wParam == kRefreshTimerId) {
        Refresh();
        result = 0;
        return true;
    }
    return CDialogEx::OnMessage(msg, wParam, lParam, result);
}

void CUpdateProgressDlg::Refresh() {
    if (m_download.Done()) {
        EndDialog(IDOK);
        return;
    }
    const ULONGLONG received = m_download.control().received.load();
    const ULONGLONG total = m_download.control().total.load();
    std::wstring text = tvx::kDownloading;
    if (total > 0) {
        const ULONGLONG percent = received >= total ? 100 : received * 100 / total;
        text += L" " + std::to_wstring(percent) + L"%";
        ::SendDlgItemMessageW(m_hWnd, IDC_UPDATE_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    } else {
        // Size unknown: how much has arrived, in KiB.
        text += L" " + std::to_wstring(received / 1024) + L" KB";
    }
    ::SetDlgItemTextW(m_hWnd, IDC_UPDATE_TEXT, text.c_str());
}
