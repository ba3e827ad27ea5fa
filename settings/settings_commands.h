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


// Writes the option's text (REG_SZ with its terminator) under HKCU\Software\Tarnivex\Settings,
// creating the key if needed. False when it could not be stored.
bool StoreSetting(const wchar_t* valueName, BOOL on);

// Starts schtasks from the system folder with the given command line, hidden and without
// waiting. Returns false when the process could not be started.
bool RunTaskCommand(const std::wstring& commandLine);

// Flips AutoPing or Memory and stores the new text; the new state, whether or not it could be
// stored.
BOOL ToggleOption(const wchar_t* valueName, BOOL wasOn);

// Whether `path` lies inside `folder` (both full paths, compared without regard to case).
bool IsInsideFolder(std::wstring_view path, std::wstring_view folder);

// The folder programs are installed to (FOLDERID_ProgramFiles); empty when unknown.
std::wstring ProgramFilesFolder();

struct AutoRunToggle {
    BOOL nowOn = FALSE;
    // Switching on was refused: the program does not run from the installed copy.
    bool needsInstalledCopy = false;
};

// Flips AutoRun. Off: stores "false" and deletes the task. On: the task starts the program with
// administrator rights at every logon, so it is registered only for a copy inside the Program
// Files folder, which unelevated programs cannot change; any other copy stores "false", registers
// nothing and says so in the result.
AutoRunToggle ToggleAutoRun(BOOL wasOn, const std::wstring& exePath,
                            const std::wstring& programFiles);

}  // namespace tvx
