// The file a task definition is handed to schtasks in. schtasks reads it with our rights, so it
// lies where no unelevated program can write or swap it: %ProgramData%\Tarnivex, which only
// Administrators and SYSTEM can change.
#pragma once

#include <string>

namespace tvx {

// Writes the bytes into a new file in the protected folder (made or taken back first); its full
// path, or empty when the folder or the file could not be made. The caller deletes it after use.
std::wstring WriteTaskDefinitionFile(const std::string& bytes);

}  // namespace tvx
