#include "engine/optimisation_pass.h"

#include "engine/connections.h"
#include "engine/working_set.h"
#include "notify/toast.h"

namespace tvx {

OptimisationPasses& Passes() {
    static OptimisationPasses& passes = *new OptimisationPasses;
    return passes;
}

void RunOptimisationPass(OptimisationPasses& passes) {
    PassTurn turn(passes.turns);
    if (!turn) return;  // superseded by a newer request, or the program is ending

    // Read only now that this pass has its turn, so it carries out the latest request.
    if (passes.request.gamePing.load()) {
        ShowToast(kApplyToastText);
        passes.turns.WhileOpen([] { ApplyTcpTuning(); });
        // Read after the values are written: a toggle made meanwhile still counts for this pass.
        if (passes.request.memory.load()) TrimAllWorkingSets();
    } else {
        ShowToast(kRevertToastText);
        passes.turns.WhileOpen([] { RevertTcpTuning(); });
    }
    RestartNetworkConnections();
}

UINT OptimiseThreadProc(LPVOID param) {
    auto& passes = *static_cast<OptimisationPasses*>(param);
    try {
        RunOptimisationPass(passes);
    } catch (...) {
        // Nothing may leave a worker; the pass has nobody to report to.
    }
    passes.turns.WorkerEnded();
    return 0;
}

TuningOutcome ClosePassesAndRevert(OptimisationPasses& passes) {
    passes.turns.Close();
    return RevertTcpTuning();
}

}  // namespace tvx
