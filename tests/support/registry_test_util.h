// Registry helpers for tests: read back what the program wrote and put keys into known states.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tvx::test {

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// The value's raw type and bytes, or nothing when the key or value is missing.
std::optional<RegValue> ReadValue(HKEY root, const std::wstring& path, const std::wstring& name);
std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const std::wstring& name);
// REG_SZ text without its terminator.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path,
                                       const std::wstring& name);

bool KeyExists(HKEY root, const std::wstring& path);
void CreateKey(HKEY root, const std::wstring& path);
void DeleteTree(HKEY root, const std::wstring& path);
void WriteValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                const void* data, DWORD size);
void WriteString(HKEY root, const std::wstring& path, const std::wstring& name,
                 const std::wstring& text);
void WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name);

// Names of the direct subkeys.
std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path);

// Replaces the key's DACL (the key is opened for WRITE_DAC only, which its owner always has).
// Fails the test when it cannot.
void SetKeyDacl(HKEY root, const std::wstring& path, const wchar_t* sddl);

}  // namespace tvx::test
