#include "engine/optimisation_pass.h"

#include <algorithm>
#include <memory>

#include "engine/tuning_backup.h"
#include "engine/working_set.h"
#include "framework/log_file.h"
#include "framework/xml_text.h"
#include "notify/toast.h"

namespace tvx {

OptimisationPasses& Passes() {
    static OptimisationPasses& passes = *new OptimisationPasses;
    return passes;
}

std::optional<PassOutcome> RunOptimisationPass(OptimisationPasses& passes) {
    PassTurn turn(passes.turns);
    if (!turn) return std::nullopt;  // superseded by a newer request, or the program is ending

    // Read only now that this pass has its turn, so it carries out the latest request.
    PassOutcome outcome;
    outcome.request = passes.request.number.load();
    outcome.gamePing = passes.request.gamePing.load();
    // The first toast confirms the request, before any work; it and the values happen together
    // or not at all, so the program's end never leaves a toast for values it skipped.
    TuningOutcome tuning;
    outcome.valuesDone = passes.turns.WhileOpen([&] {
        ShowToast(outcome.gamePing ? kApplyToastText : kRevertToastText);
        tuning = outcome.gamePing ? ApplyTcpTuning() : RevertTcpTuning();
    });
    if (!outcome.valuesDone) return outcome;
    // Read after the values are written: a toggle made meanwhile still counts for this pass.
    if (outcome.gamePing && passes.request.memory.load() && !passes.turns.IsClosed()) {
        TrimAllWorkingSets();
    }
    passes.restart.connections = 0;
    passes.restart.ending = [&passes] { return passes.turns.IsClosed(); };
    RestartNetworkConnections(&passes.restart);
    outcome.ok = tuning.ok();
    // A second toast tells of failures; the window then shows what the machine holds.
    if (!outcome.ok) ShowToast(FailureToastText(outcome.gamePing, LogFilePath()).c_str());
    outcome.machineGamePing = GamePingLeftOn();
    return outcome;
}

std::wstring FailureToastText(bool gamePing, const std::wstring& logPath) {
    // The path may hold characters that mean something in the toast's document.
    return EscapeXmlText(std::wstring(gamePing ? kApplyFailedToastText : kRevertFailedToastText) +
                         logPath);
}

UINT OptimiseThreadProc(LPVOID param) {
    const std::unique_ptr<PassWorker> worker(static_cast<PassWorker*>(param));
    OptimisationPasses& passes = *worker->passes;
    try {
        const std::optional<PassOutcome> outcome = RunOptimisationPass(passes);
        if (outcome && worker->report) worker->report(*outcome);
    } catch (...) {
        // Nothing may leave a worker.
    }
    passes.turns.WorkerEnded();
    return 0;
}

TuningOutcome ClosePassesAndRevert(OptimisationPasses& passes) {
    passes.turns.Close();
    return RevertTcpTuning();
}

DWORD PassEndBudgetMs(unsigned connections) {
    const unsigned counted = std::min(connections, 1000u);
    return counted * kReconnectPauseMs + kPassEndMarginMs;
}

bool WaitForPassesToEnd(OptimisationPasses& passes) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        // Read again on every round: the restart counts its connections as it goes.
        const ULONGLONG budget = PassEndBudgetMs(passes.restart.connections.load());
        const ULONGLONG spent = ::GetTickCount64() - start;
        if (spent >= budget) return passes.turns.WaitForWorkers(0);
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(budget - spent, 200));
        if (passes.turns.WaitForWorkers(slice)) return true;
    }
}

}  // namespace tvx
