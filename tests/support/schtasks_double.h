// The recording schtasks stand-in: installed over the prefix's own tool, it appends each command
// line it is started with to a log file that tests read back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvx::test {

// Copies the stand-in over system32\schtasks.exe and makes Wine prefer that file to its
// built-in tool. Returns false (with the reason in `error`) when either step failed.
bool InstallSchtasksDouble(std::wstring* error = nullptr);

// A fresh log for the stand-in in the temporary folder; also exported as TARNIVEX_SCHTASKS_LOG so
// that every child started afterwards records into it.
std::wstring UseFreshSchtasksLog(const std::wstring& name);

// The log's lines (UTF-8 decoded), waiting at most timeoutMs until at least `count` exist.
std::vector<std::wstring> WaitForLogLines(const std::wstring& logPath, size_t count,
                                          DWORD timeoutMs);

// A Unix path of the build machine as Wine sees it (Z: drive).
std::wstring WindowsPathOf(const char* unixPath);

}  // namespace tvx::test
