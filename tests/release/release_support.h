// Running a setup or an uninstaller to its very end, and reading what an installation left on
// the machine: signatures, shortcuts, folders.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace tvx::test {

// Runs the command line in a job of its own and waits until every process in the job has
// ended: an NSIS uninstaller hands its work to a copy of itself in the temporary folder and
// ends at once. On timeout the job's processes are ended and false is returned; `leftOver`
// then names them. `exitCode` receives the started process's code.
bool RunToTheEnd(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode,
                 std::wstring* leftOver = nullptr);

std::wstring KnownFolder(REFKNOWNFOLDERID id);
std::wstring SystemFolder();

// SHA-256 fingerprint (upper-case hex) of the certificate whose Authenticode signature on the
// file verifies; empty when the file is unsigned or changed after signing. Wine does not check
// the chain, so the fingerprint is what tells whose signature it is.
std::wstring SignerFingerprint(const std::wstring& path);

// The file a shortcut starts; empty when the shortcut cannot be read.
std::wstring ShortcutTarget(const std::wstring& shortcut);

bool PathExists(const std::wstring& path);
bool SameContents(const std::wstring& a, const std::wstring& b);
unsigned long long FileSize(const std::wstring& path);
// Deletes a file or a folder with everything in it; nothing when it is not there.
void RemovePath(const std::wstring& path);

}  // namespace tvx::test
