// The ways the program ends from its window. Every one of them first takes down whatever holds
// the window's thread in a loop of its own (the program's message boxes, the progress window),
// so that the end is never held up by a question nobody answers.
#include "engine/optimisation_pass.h"
#include "framework/message_box.h"
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
    // Each box answers as if cancelled (No to the offer and to the exit question, OK to a
    // notice); the code after it sees that the exit has begun.
    tvx::CloseOpenMessageBoxes();
    CloseUpdateProgress();
    if (m_hWnd) ::KillTimer(m_hWnd, kStartupTimerId);
    // Final: a press or an automatic start that comes later starts nothing, a pass waiting for
    // its turn gives up, and a pass at work takes no further connection down.
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
