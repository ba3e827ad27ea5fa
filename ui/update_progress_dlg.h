// The small window over the self-update's download: how far it got, and a button to stop it. It
// is modeless and only shows what it is told: the download's worker posts its progress to the
// main window, which passes it on here.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/dialog.h"

class CUpdateProgressDlg : public CDialogEx {
public:
    // onCancel runs when the user presses Cancel (or Esc); the owner then closes this window.
    CUpdateProgressDlg(HWND owner, std::function<void()> onCancel);

    // Bytes received so far, of total (0: the size is not known).
    void ShowProgress(ULONGLONG received, ULONGLONG total);

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {}  // Enter must not hide a download that goes on

private:
    std::function<void()> m_onCancel;
};
