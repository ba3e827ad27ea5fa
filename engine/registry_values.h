// Setting and deleting one registry value, opening and closing the key around the one change.
// The two machine-wide operations print one result line each on standard output.
#pragma once

namespace tvx {

// HKLM: creates the key when missing and sets the value to the REG_DWORD 1.
bool SetRegistryDword(const wchar_t* keyPath, const wchar_t* valueName);
// HKLM: the key must exist; deletes the value.
bool DeleteRegistryValue(const wchar_t* keyPath, const wchar_t* valueName);
// HKCU: creates the key when missing and sets a REG_SZ with its terminator. False at once, with
// the registry untouched, when any argument is null.
bool SetRegistryString(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text);

}  // namespace tvx
