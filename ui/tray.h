// The tray icon record and the notice by which a restarted taskbar asks for icons again.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace tvx {

inline constexpr UINT kTrayIconId = 1;
inline constexpr wchar_t kTrayTip[] = L"Tarnivex";

// Icon 1 of `window`: callback WM_TRAYNOTIFY, the given icon, tooltip "Tarnivex"; all else zero.
NOTIFYICONDATAW MakeTrayIconData(HWND window, HICON icon);

// The registered "TaskbarCreated" message, sent to every top-level window when Explorer (and
// with it the notification area) starts again.
UINT TaskbarCreatedMessage();

// An elevated process does not receive that broadcast from the unelevated shell unless the
// window lets it through its message filter.
void AllowTaskbarRestartNotice(HWND window);

}  // namespace tvx
