// Starting an optimisation pass from the window: the press on START/STOP and the automatic start.
#include "engine/optimisation_pass.h"
#include "ui/tarnivex_dlg.h"

void CTarnivexDlg::StartOptimisationWorker(BOOL newState) {
    // Once the program is ending nothing may switch game ping on again.
    if (ExitBegun()) return;
    m_bRunning = newState;
    m_bShowStop = newState;
    tvx::OptimisationPasses& passes = tvx::Passes();
    passes.request.gamePing = newState != FALSE;
    // With a null window InvalidateRect would repaint every window of the desktop.
    if (m_hWnd) ::InvalidateRect(m_hWnd, &m_rcStart, FALSE);
    passes.turns.WorkerStarting();
    m_pWorkerThread = AfxBeginThread(tvx::OptimiseThreadProc, &passes, THREAD_PRIORITY_NORMAL, 0,
                                     CREATE_SUSPENDED, nullptr);
    // Still suspended, so the thread object certainly exists; from the resume on, it may delete
    // itself at any time and the pointer is only a record of the last start.
    if (m_pWorkerThread) {
        m_pWorkerThread->ResumeThread();
    } else {
        passes.turns.WorkerEnded();
    }
}
