#include "ui/update_progress_dlg.h"

#include <commctrl.h>

#include <string>
#include <utility>

#include "online/self_update.h"
#include "res/resource.h"

CUpdateProgressDlg::CUpdateProgressDlg(HWND owner, std::function<void()> onCancel)
    : CDialogEx(IDD_UPDATE_PROGRESS, owner), m_onCancel(std::move(onCancel)) {}

BOOL CUpdateProgressDlg::OnInitDialog() {
    ::SendDlgItemMessageW(m_hWnd, IDC_UPDATE_BAR, PBM_SETRANGE32, 0, 100);
    ShowProgress(0, 0);
    return TRUE;
}

void CUpdateProgressDlg::OnCancel() {
    if (m_onCancel) std::exchange(m_onCancel, nullptr)();
}

void CUpdateProgressDlg::ShowProgress(ULONGLONG received, ULONGLONG total) {
    if (!m_hWnd) return;
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
