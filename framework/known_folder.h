// The system's well-known folders (Program Files, ProgramData, the user's local application data).
#pragma once

#include <windows.h>
#include <shtypes.h>

#include <string>

namespace tvx {

// The folder's path as the shell names it, without a trailing backslash; empty when the shell
// cannot name it. The folder is only looked up, never created.
std::wstring KnownFolderPath(REFKNOWNFOLDERID id);

}  // namespace tvx
