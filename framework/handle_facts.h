// What the system says of an open file or folder, read through its handle (so that a link
// swapped in after the open cannot answer instead).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvx {

// The handle's path as the system resolves it ("C:\\Program Files\\Tarnivex"), without the
// "\\?\\" prefix; empty when it cannot be read.
std::wstring FinalPath(HANDLE handle);

// The owner's SID as bytes (READ_CONTROL needed); empty when it cannot be read.
std::vector<BYTE> OwnerSid(HANDLE handle);

}  // namespace tvx
