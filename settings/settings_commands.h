// The three settings menu commands: each flips one option and stores its new text at once;
// AutoRun also creates or deletes the scheduled task that starts the program at logon.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tvx {

inline constexpr wchar_t kTaskDeleteCommand[] = L"schtasks /delete /tn \"Tarnivex\" /F";

// The stored text of a flag: "true" or "false".
std::wstring_view SettingText(BOOL on);

// Task creation for the executable at exePath: runs it elevated 30 s after logon. The path is
// wrapped in escaped double quotes inside the quoted /tr argument; a Windows path can hold no
// double quote, so this form survives spaces, apostrophes and any other character.
std::wstring BuildTaskCreateCommand(std::wstring_view exePath);

// The schtasks command line that follows AutoRun switching to nowOn.
std::wstring TaskCommandFor(BOOL nowOn, std::wstring_view exePath);

// Writes the option's text (REG_SZ with its terminator) under HKCU\Software\Tarnivex\Settings,
// creating the key if needed. Returns the status of the step that failed, or ERROR_SUCCESS.
LSTATUS StoreSetting(const wchar_t* valueName, BOOL on);

// Full path of the running executable, however long.
std::wstring ExecutablePath();

// Starts schtasks from the system folder with the given command line, hidden and without
// waiting. Returns false when the process could not be started.
bool RunTaskCommand(const std::wstring& commandLine);

}  // namespace tvx
