#include "framework/user_text.h"

#include <windows.h>

#include <string_view>

#include "framework/scoped.h"

namespace tvx {

std::wstring ReadUserText(const wchar_t* keyPath, const wchar_t* valueName,
                          const wchar_t* defaultText) {
    constexpr DWORD kUnits = 260;
    wchar_t buffer[kUnits] = {};
    // Stated in bytes, not characters: only half the buffer is offered to the query.
    DWORD size = kUnits;
    DWORD type = 0;

    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return defaultText;
    }
    const LSTATUS rc = ::RegQueryValueExW(key.get(), valueName, nullptr, &type,
                                          reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return defaultText;
    // A stored text need not carry its terminator; the zero-filled buffer ends it, and the
    // accepted size (at most 260 bytes) leaves room for that.
    return std::wstring(buffer, wcsnlen(buffer, size / sizeof(wchar_t)));
}

bool SetRegistryString(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text) {
    if (keyPath == nullptr || valueName == nullptr || text == nullptr) return false;
    const size_t bytes = (std::wstring_view(text).size() + 1) * sizeof(wchar_t);
    if (bytes > MAXDWORD) return false;
    UniqueKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExW(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>(bytes)) == ERROR_SUCCESS;
}

}  // namespace tvx
