// Where the running program lives.
#pragma once

#include <string>

namespace tvx {

// Full path of the running executable, however long; empty when it cannot be read.
std::wstring ExecutablePath();

// Its file name without folder and extension ("Tarnivex" for C:\...\Tarnivex.exe).
std::wstring ExecutableBaseName();

}  // namespace tvx
