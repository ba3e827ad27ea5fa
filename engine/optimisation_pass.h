// The optimisation pass: the window starts one worker per request
// (CTarnivexDlg::StartOptimisationWorker, ui/tarnivex_dlg.h); the worker runs
// CTarnivexDlg::RunOptimisationPass through OptimiseThreadProc. Passes never overlap, and when
// several wait, only the newest request is carried out.
#pragma once

#include "ui/tarnivex_dlg.h"

namespace tvx {

inline constexpr wchar_t kApplyToastText[] = L"게임핑이 성공적으로 동작 중입니다.";
inline constexpr wchar_t kRevertToastText[] = L"게임핑 동작이 정지되었습니다.";

// For the exit command, on the window's thread: waits for a pass still at work, makes the passes
// waiting for their turn give up, then removes the game-ping values (RevertTcpTuning). No pass
// starts its work while the values are being removed.
void RevertTcpTuningAfterPasses();

}  // namespace tvx
