#include "engine/optimisation_pass.h"

#include "engine/connections.h"
#include "engine/working_set.h"
#include "framework/log_file.h"
#include "framework/xml_text.h"
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
    const bool gamePing = passes.request.gamePing.load();
    // The first toast confirms the request, before any work; a second one tells of failures.
    TuningOutcome outcome;
    if (gamePing) {
        ShowToast(kApplyToastText);
        passes.turns.WhileOpen([&] { outcome = ApplyTcpTuning(); });
        // Read after the values are written: a toggle made meanwhile still counts for this pass.
        if (passes.request.memory.load()) TrimAllWorkingSets();
    } else {
        ShowToast(kRevertToastText);
        passes.turns.WhileOpen([&] { outcome = RevertTcpTuning(); });
    }
    RestartNetworkConnections();
    if (!outcome.ok()) ShowToast(FailureToastText(gamePing, LogFilePath()).c_str());
}

std::wstring FailureToastText(bool gamePing, const std::wstring& logPath) {
    // The path may hold characters that mean something in the toast's document.
    return EscapeXmlText(std::wstring(gamePing ? kApplyFailedToastText : kRevertFailedToastText) +
                         logPath);
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
