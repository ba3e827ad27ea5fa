// The three settings menu commands: each flips one option and stores its new text at once;
// AutoRun also creates or deletes the scheduled task that starts the program at logon.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tvx {

inline constexpr wchar_t kTaskDeleteCommand[] = L"schtasks /delete /tn \"Tarnivex\" /F";
inline constexpr wchar_t kTaskQueryCommand[] = L"schtasks /query /tn \"Tarnivex\"";

// How long a command waits for schtasks; it normally ends in well under a second.
inline constexpr DWORD kTaskToolWaitMs = 5000;

// The stored text of a flag: "true" or "false".
std::wstring_view SettingText(BOOL on);

// Task creation from the definition file at xmlPath, replacing a task of the same name. A
// Windows path can hold no double quote, so the quoted path survives any other character.
std::wstring BuildTaskCreateCommand(std::wstring_view xmlPath);

// Writes the option's text (REG_SZ with its terminator) under HKCU\Software\Tarnivex\Settings,
// creating the key if needed. False when it could not be stored.
bool StoreSetting(const wchar_t* valueName, BOOL on);

// How one run of schtasks went.
struct TaskToolRun {
    bool started = false;
    bool ended = false;  // within the wait
    DWORD exitCode = 0;
    bool ok() const { return started && ended && exitCode == 0; }
};

// Runs schtasks from the system folder with the given command line, hidden, and waits for it at
// most waitMs. It blocks: a window runs it (and the commands below) on a worker.
TaskToolRun RunTaskCommand(const std::wstring& commandLine, DWORD waitMs = kTaskToolWaitMs);

// The logon task for exePath (the installed copy), for the user running this process. Writes
// the definition into the protected folder, hands it to schtasks and deletes it. A failure is
// written to the log.
bool CreateLogonTask(const std::wstring& exePath);

// Deletes the logon task. A task that does not exist counts as deleted; a failure is written to
// the log.
bool DeleteLogonTask();

// Flips AutoPing or Memory and stores the new text; the new state, whether or not it could be
// stored.
BOOL ToggleOption(const wchar_t* valueName, BOOL wasOn);

struct AutoRunToggle {
    BOOL nowOn = FALSE;
    // Switching on was refused: the program does not run from the installed copy.
    bool needsInstalledCopy = false;
    // schtasks did not make (or could not remove) the task.
    bool createFailed = false;
    bool deleteFailed = false;
};

// What the user is told after a toggle: the text and the message box's icon, or no text when
// all went as asked.
struct AutoRunMessage {
    const wchar_t* text = nullptr;
    UINT icon = 0;
};
AutoRunMessage AutoRunToggleMessage(const AutoRunToggle& toggle);

// Flips AutoRun. Off: stores "false" and deletes the task. On: the task starts the program with
// administrator rights at every logon, so it is made only for the installed copy; any other copy
// stores "false", registers nothing and says so in the result. A task that could not be made
// leaves "false" stored and the option off.
AutoRunToggle ToggleAutoRun(BOOL wasOn, const std::wstring& exePath);

// What the check mark shows at start: a stored "true" only counts for the installed copy, which
// alone can have the task (the stored text is left as it is).
BOOL AutoRunShown(BOOL stored, const std::wstring& exePath);

// For the setup, after it installed this copy: when AutoRun is "true" or not stored (the
// default), (re)creates the task with this version's definition and stores "true", or "false"
// when that failed; an explicit "false" is left alone. 0 on success or nothing to do, 1 when the
// task could not be made or this is not the installed copy.
int RefreshAutoRunTask(const std::wstring& exePath);

}  // namespace tvx
