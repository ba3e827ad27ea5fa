// The optimisation pass: one worker per request brings the machine into the requested state
// (game ping on: toast, values, optional trim, connection restart; off: toast, values removed,
// connection restart). Passes never overlap, and when several wait, only the newest request is
// carried out. The window only writes the request and starts workers; a worker never touches it.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

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

// The second toast's text for a pass that switched game ping on (or off) with failures.
std::wstring FailureToastText(bool gamePing, const std::wstring& logPath);

// What the window asks of the passes: written on its thread before it starts a worker, read by
// the worker whose turn it is.
struct PassRequest {
    std::atomic<bool> gamePing{false};
    std::atomic<bool> memory{false};
};

struct OptimisationPasses {
    PassRequest request;
    PassTurns turns;
};

// The program's passes. Never destroyed: a worker still running while the process ends may use it.
OptimisationPasses& Passes();

// Worker thread procedure; the parameter is the OptimisationPasses it serves.
UINT OptimiseThreadProc(LPVOID passes);

// One pass on the calling thread, when its turn comes.
void RunOptimisationPass(OptimisationPasses& passes);

// For the program's end, on the window's thread: closes the turns for good (no pass starts, and
// none writes values any more) and removes the game-ping values (RevertTcpTuning). A pass still
// restarting connections goes on; whoever ends the process waits for its workers.
TuningOutcome ClosePassesAndRevert(OptimisationPasses& passes);

}  // namespace tvx
