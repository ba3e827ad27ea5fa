// The program's log: %ProgramData%\Tarnivex\Logs\Tarnivex.log, one local-time stamped line per
// entry, UTF-8. A windowed program has no standard output anyone sees, so this is where its
// result lines can be read. At 1 MiB the file becomes Tarnivex.old.log (replacing the older one)
// and a new one is begun. The folder is the protected home's: users may read the log, only
// administrators write it, and it is opened and rotated by handle, never through a link.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tvx {

inline constexpr ULONGLONG kLogCapBytes = 1 << 20;

// The log's full path (for messages); empty when the system cannot name ProgramData.
std::wstring LogFilePath();

// "YYYY-MM-DD HH:MM:SS " followed by the line.
std::wstring StampLogLine(const SYSTEMTIME& local, std::wstring_view line);

// Appends the line (which ends with its own line feed) with the current local time. Failures are
// silent: the log must never stop what it reports on.
void AppendLogLine(std::wstring_view line);

}  // namespace tvx
