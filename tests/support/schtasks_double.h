// The recording schtasks stand-in: installed over the prefix's own tool, it appends each command
// line it is started with to a log file that tests read back, keeps the last task definition it
// was given with /xml, and ends with the exit code a test chose.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvx::test {

// Copies the stand-in over system32\schtasks.exe and makes Wine prefer that file to its
// built-in tool. Returns false (with the reason in `error`) when either step failed.
bool InstallSchtasksDouble(std::wstring* error = nullptr);

// A fresh log for the stand-in in the temporary folder (no definition recorded, exit code 0);
// also exported as TARNIVEX_SCHTASKS_LOG so that every child started afterwards records into it.
std::wstring UseFreshSchtasksLog(const std::wstring& name);

// Every stand-in started afterwards by this process or its children ends with this code.
void SetSchtasksExitCode(DWORD code);

// The last definition given with /xml, as the raw bytes of its file; empty when none was.
std::string LastSchtasksXmlBytes(const std::wstring& logPath);

// Those bytes as text when they are UTF-16 little-endian behind a byte-order mark; empty
// otherwise.
std::wstring DecodeUtf16File(const std::string& bytes);

// The log's lines (UTF-8 decoded), waiting at most timeoutMs until at least `count` exist.
std::vector<std::wstring> WaitForLogLines(const std::wstring& logPath, size_t count,
                                          DWORD timeoutMs);

// A Unix path of the build machine as Wine sees it (Z: drive).
std::wstring WindowsPathOf(const char* unixPath);

}  // namespace tvx::test
