// Starting an optimisation pass from the window (the press on START/STOP and the automatic
// start), and what the window does with the pass's report.
#include <new>

#include "engine/optimisation_pass.h"
#include "ui/tarnivex_dlg.h"

void CTarnivexDlg::StartOptimisationWorker(BOOL newState) {
    // Once the program is ending nothing may switch game ping on again.
    if (ExitBegun()) return;
    // The button flips at once; the pass's report corrects it when the machine did not follow.
    m_bRunning = newState;
    m_bShowStop = newState;
    tvx::OptimisationPasses& passes = tvx::Passes();
    passes.request.gamePing = newState != FALSE;
    passes.request.number = ++m_lastPassRequest;
    // With a null window InvalidateRect would repaint every window of the desktop.
    if (m_hWnd) ::InvalidateRect(m_hWnd, &m_rcStart, FALSE);

    auto* worker = new (std::nothrow) tvx::PassWorker;
    if (!worker) return;
    worker->passes = &passes;
    // The worker holds the queue, never the window: a report after the window has gone is
    // dropped.
    worker->report = [tasks = m_tasks, this](const tvx::PassOutcome& outcome) {
        tasks->Post([this, outcome] { OnPassEnded(outcome); });
    };
    passes.turns.WorkerStarting();
    m_pWorkerThread = AfxBeginThread(tvx::OptimiseThreadProc, worker, THREAD_PRIORITY_NORMAL, 0,
                                     CREATE_SUSPENDED, nullptr);
    // Still suspended, so the thread object certainly exists; from the resume on, it may delete
    // itself at any time and the pointer is only a record of the last start.
    if (m_pWorkerThread) {
        m_pWorkerThread->ResumeThread();
    } else {
        delete worker;
        passes.turns.WorkerEnded();
    }
}

void CTarnivexDlg::OnPassEnded(const tvx::PassOutcome& outcome) {
    // A later request has its own pass coming, which reports in its turn; after the exit began
    // the window shows nothing new.
    if (ExitBegun() || outcome.request != m_lastPassRequest) return;
    if (!outcome.valuesDone || outcome.ok) return;
    // The values did not follow the request: show what the machine holds, as a start would.
    const BOOL actual = outcome.machineGamePing ? TRUE : FALSE;
    if (actual == m_bRunning) return;
    m_bRunning = actual;
    m_bShowStop = actual;
    tvx::Passes().request.gamePing = actual != FALSE;
    if (m_hWnd) ::InvalidateRect(m_hWnd, &m_rcStart, FALSE);
}
