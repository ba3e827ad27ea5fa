#include "online/user_record.h"

#include <windows.h>

#include <cwchar>

#include "framework/scoped.h"

namespace tvx {

bool WriteUserText(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text) {
    UniqueKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            bytes) == ERROR_SUCCESS;
}

}  // namespace tvx
