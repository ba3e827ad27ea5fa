// The small window over the self-update's download: how far it got, and a button to stop it.
#pragma once

#include <windows.h>

#include "framework/dialog.h"
#include "online/client_download.h"

class CUpdateProgressDlg : public CDialogEx {
public:
    // Ends by itself when the download has ended; the cancel button (or Esc) cancels it first.
    CUpdateProgressDlg(HWND owner, tvx::BackgroundDownload& download);

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {}  // Enter must not hide a download that goes on
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void Refresh();

    tvx::BackgroundDownload& m_download;
};
