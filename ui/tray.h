// The tray icon record and the notice by which a restarted taskbar asks for icons again.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "framework/scoped.h"

namespace tvx {

inline constexpr UINT kTrayIconId = 1;
inline constexpr wchar_t kTrayTip[] = L"Tarnivex";

// The program icon (group 128) in the size the system gives `metric` at its DPI (LIM_SMALL for
// the tray and the window's small icon, LIM_LARGE for its large one), made from the frame of
// that size or the next larger one; null when it cannot be loaded.
UniqueIcon LoadProgramIcon(int metric);

// Icon 1 of `window`: callback WM_TRAYNOTIFY, the given icon, tooltip "Tarnivex"; all else zero.
NOTIFYICONDATAW MakeTrayIconData(HWND window, HICON icon);

// The registered "TaskbarCreated" message, sent to every top-level window when Explorer (and
// with it the notification area) starts again.
UINT TaskbarCreatedMessage();

// An elevated process does not receive that broadcast from the unelevated shell unless the
// window lets it through its message filter.
void AllowTaskbarRestartNotice(HWND window);

}  // namespace tvx
