// The three per-user options under HKCU\Software\Tarnivex\Settings, stored as the texts
// "true" and "false"; only the exact text "true" counts as on.
#pragma once

#include <windows.h>

#include <string>

namespace tvx {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Tarnivex\\Settings";
inline constexpr wchar_t kAutoRunValue[] = L"AutoRun";
inline constexpr wchar_t kAutoPingValue[] = L"AutoPing";
inline constexpr wchar_t kMemoryValue[] = L"Memory";

struct Settings {
    BOOL autoRun = FALSE;
    BOOL autoPing = FALSE;
    BOOL memory = FALSE;
};

// Reads AutoRun (default "true"), AutoPing (default "false") and Memory (default "true").
// Writes nothing. AutoRun's default is made true by the setup, which creates the logon task when
// the option is not stored; the window shows it only in the installed copy (AutoRunShown).
Settings LoadSettings();

// Whether a stored text means on: exactly "true", case-sensitive.
BOOL SettingTextIsOn(const std::wstring& text);

}  // namespace tvx
