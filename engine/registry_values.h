// Setting and deleting one game-ping value under HKEY_LOCAL_MACHINE, opening and closing the key
// around the one change and printing one result line on standard output.
#pragma once

namespace tvx {

// HKLM: creates the key when missing and sets the value to the REG_DWORD 1.
bool SetRegistryDword(const wchar_t* keyPath, const wchar_t* valueName);
// HKLM: the key must exist; deletes the value.
bool DeleteRegistryValue(const wchar_t* keyPath, const wchar_t* valueName);

}  // namespace tvx
