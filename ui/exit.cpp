// The ways the program ends from its window.
#include "engine/optimisation_pass.h"
#include "online/client_download.h"
#include "ui/exit_request.h"
#include "ui/tarnivex_dlg.h"

namespace tvx {

UINT ExitRequestMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"Tarnivex.ExitRequest");
    return message;
}

}  // namespace tvx

void CTarnivexDlg::BeginExit() {
    m_exitBegun = true;
    if (m_download) m_download->Cancel();
    if (m_hWnd) ::KillTimer(m_hWnd, kStartupTimerId);
    // Final: a press or an automatic start that comes later (from a nested message loop) starts
    // nothing, and a pass waiting for its turn gives up.
    tvx::Passes().turns.Close();
}

void CTarnivexDlg::ExitRemovingTheValues() {
    if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
    BeginExit();
    // No pass writes values from here on, so what this removes stays removed.
    tvx::ClosePassesAndRevert(tvx::Passes());
    if (m_nid.hWnd) ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
    m_nid.hWnd = nullptr;  // no longer ours to add again
    OnCancel();
}

void CTarnivexDlg::OnHandlerFailed() {
    // The values stay as they are (the next start shows them); only the icon must not outlive
    // the window.
    BeginExit();
    if (m_nid.hWnd) ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
    m_nid.hWnd = nullptr;
    CDialogEx::OnHandlerFailed();
}
