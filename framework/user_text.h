// Per-user texts: REG_SZ values under HKEY_CURRENT_USER, the one way the program reads and writes
// its settings and records.
#pragma once

#include <string>

namespace tvx {

// Reads into 260 UTF-16 units while stating a data size of 260 bytes, so at most 129 characters
// and the terminator fit; a missing key or value, any failed query, a longer value or another
// type gives the default text.
std::wstring ReadUserText(const wchar_t* keyPath, const wchar_t* valueName,
                          const wchar_t* defaultText);

// Creates or opens the key (KEY_SET_VALUE) and stores the text as REG_SZ with its terminator,
// (length + 1) * 2 bytes. False when the key cannot be created or the value not set, and at once,
// with the registry untouched, when any argument is null.
bool SetRegistryString(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text);

}  // namespace tvx
