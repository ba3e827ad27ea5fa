#include "engine/optimisation_pass.h"

#include "engine/connections.h"
#include "engine/pass_turns.h"
#include "engine/tcp_tuning.h"
#include "engine/working_set.h"
#include "notify/toast.h"

// The window's thread writes m_bRunning (and the settings command m_bMemory) while workers read
// them, so both sides go through atomic accesses; the members stay plain BOOLs for the rest of
// the window's code, which runs on one thread.
namespace {

BOOL LoadFlag(const BOOL& flag) { return __atomic_load_n(&flag, __ATOMIC_ACQUIRE); }

void StoreFlag(BOOL& flag, BOOL value) { __atomic_store_n(&flag, value, __ATOMIC_RELEASE); }

}  // namespace

void CTarnivexDlg::StartOptimisationWorker(BOOL newState) {
    StoreFlag(m_bRunning, newState);
    StoreFlag(m_bShowStop, newState);
    tvx::PassTurns& turns = tvx::OptimisationTurns();
    turns.Reopen();
    // With a null window InvalidateRect would repaint every window of the desktop.
    if (m_hWnd) ::InvalidateRect(m_hWnd, &m_rcStart, FALSE);
    turns.WorkerStarting();
    m_pWorkerThread = AfxBeginThread(OptimiseThreadProc, this, THREAD_PRIORITY_NORMAL, 0,
                                     CREATE_SUSPENDED, nullptr);
    if (m_pWorkerThread) {
        m_pWorkerThread->ResumeThread();
    } else {
        turns.WorkerEnded();
    }
}

void CTarnivexDlg::RunOptimisationPass() {
    tvx::PassTurn turn(tvx::OptimisationTurns());
    if (!turn) return;  // superseded by a newer request, or the program is closing

    // Read only now that this pass has its turn, so it carries out the latest request.
    if (LoadFlag(m_bRunning)) {
        tvx::ShowToast(tvx::kApplyToastText);
        tvx::ApplyTcpTuning();
        // Read after the values are written: a toggle made meanwhile still counts for this pass.
        if (LoadFlag(m_bMemory)) tvx::TrimAllWorkingSets();
    } else {
        tvx::ShowToast(tvx::kRevertToastText);
        tvx::RevertTcpTuning();
    }
    tvx::RestartNetworkConnections();
}

UINT OptimiseThreadProc(LPVOID param) {
    static_cast<CTarnivexDlg*>(param)->RunOptimisationPass();
    tvx::OptimisationTurns().WorkerEnded();
    return 0;
}

namespace tvx {

void RevertTcpTuningAfterPasses() {
    PassTurns& turns = OptimisationTurns();
    turns.Close();
    RevertTcpTuning();
    turns.Leave();
}

}  // namespace tvx
