// The optimisation pass: one worker per request brings the machine into the requested state
// (game ping on: toast, values, optional trim, connection restart; off: toast, values removed,
// connection restart). Passes never overlap, and when several wait, only the newest request is
// carried out. The window only writes the request and starts workers; a worker never touches it
// and tells it the outcome through the report it was given.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/connections.h"
#include "engine/pass_turns.h"
#include "engine/tcp_tuning.h"

namespace tvx {

inline constexpr wchar_t kApplyToastText[] = L"게임핑이 성공적으로 동작 중입니다.";
inline constexpr wchar_t kRevertToastText[] = L"게임핑 동작이 정지되었습니다.";
// Follows the first toast when a value of the pass could not be written, restored or removed;
// the log's path is appended.
inline constexpr wchar_t kApplyFailedToastText[] =
    L"게임핑 설정 중 일부를 적용하지 못했습니다. 자세한 내용은 로그 파일을 확인하세요: ";
inline constexpr wchar_t kRevertFailedToastText[] =
    L"게임핑 설정 중 일부를 되돌리지 못했습니다. 자세한 내용은 로그 파일을 확인하세요: ";

// Beyond the reconnect pauses, what the end of the program allows a pass for its last calls
// (a connect, the connection manager's release, a toast).
inline constexpr DWORD kPassEndMarginMs = 10000;

// The second toast's text for a pass that switched game ping on (or off) with failures.
std::wstring FailureToastText(bool gamePing, const std::wstring& logPath);

// What the window asks of the passes: written on its thread before it starts a worker, read by
// the worker whose turn it is. The number is written last, so a pass that reads it first sees
// the state of that request or a later one.
struct PassRequest {
    std::atomic<bool> gamePing{false};
    std::atomic<bool> memory{false};
    std::atomic<std::uint64_t> number{0};
};

struct OptimisationPasses {
    PassRequest request;
    PassTurns turns;
    // The connection restart of the pass at work (for how long the program's end waits).
    RestartWatch restart;
};

// What a pass did, for the window.
struct PassOutcome {
    std::uint64_t request = 0;  // the request number it carried out
    bool gamePing = false;      // what was asked
    bool valuesDone = false;    // the toast and the value step ran (the program's end came later)
    bool ok = true;             // every value was written, restored or removed
    bool machineGamePing = false;  // afterwards: the machine is in the game-ping state
};

// The program's passes. Never destroyed: a worker still running while the process ends may use it.
OptimisationPasses& Passes();

// One pass on the calling thread, when its turn comes; nothing when a newer request superseded
// it or the program is ending.
std::optional<PassOutcome> RunOptimisationPass(OptimisationPasses& passes);

// What a worker is started with; the thread procedure takes it over (allocated with new).
struct PassWorker {
    OptimisationPasses* passes = nullptr;
    // Called on the worker with the outcome of its pass, when it ran one.
    std::function<void(const PassOutcome&)> report;
};

// Worker thread procedure; the parameter is a PassWorker.
UINT OptimiseThreadProc(LPVOID worker);

// For the program's end, on the window's thread: closes the turns for good (no pass starts, none
// writes values or takes a connection down any more) and removes the game-ping values
// (RevertTcpTuning). A pass still bringing a connection up goes on; whoever ends the process
// waits for it with WaitForPassesToEnd.
TuningOutcome ClosePassesAndRevert(OptimisationPasses& passes);

// How long the end of the program may wait for a pass whose restart has been handed this many
// connections: a pause for each, plus the margin.
DWORD PassEndBudgetMs(unsigned connections);

// Waits (without a message loop) until every worker has ended, for as long as the restart in
// progress may need by PassEndBudgetMs. True when they all ended.
bool WaitForPassesToEnd(OptimisationPasses& passes);

}  // namespace tvx
