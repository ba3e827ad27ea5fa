#include "tests/support/registry_test_util.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include "framework/scoped.h"

namespace tvx::test {

std::optional<RegValue> ReadValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    UniqueKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    RegValue value{type, std::vector<BYTE>(size)};
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, value.data.data(), &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    value.data.resize(size);
    return value;
}

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const std::wstring& name) {
    const auto v = ReadValue(root, path, name);
    if (!v || v->type != REG_DWORD || v->data.size() != sizeof(DWORD)) return {};
    DWORD d = 0;
    memcpy(&d, v->data.data(), sizeof d);
    return d;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path,
                                       const std::wstring& name) {
    const auto v = ReadValue(root, path, name);
    if (!v || v->type != REG_SZ) return {};
    std::wstring text(reinterpret_cast<const wchar_t*>(v->data.data()),
                      v->data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    UniqueKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void CreateKey(HKEY root, const std::wstring& path) {
    UniqueKey key;
    ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                      nullptr);
}

void DeleteTree(HKEY root, const std::wstring& path) {
    ::RegDeleteTreeW(root, path.c_str());
    ::RegDeleteKeyW(root, path.c_str());
}

void WriteValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                const void* data, DWORD size) {
    UniqueKey key;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return;
    }
    ::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

void WriteString(HKEY root, const std::wstring& path, const std::wstring& name,
                 const std::wstring& text) {
    WriteValue(root, path, name, REG_SZ, text.c_str(),
               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
    WriteValue(root, path, name, REG_DWORD, &value, sizeof value);
}

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    UniqueKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
        ::RegDeleteValueW(key.get(), name.c_str());
    }
}

std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> names;
    UniqueKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD len = 256;
        const LSTATUS rc =
            ::RegEnumKeyExW(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_SUCCESS) names.emplace_back(name, len);
    }
    return names;
}

void SetKeyDacl(HKEY root, const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd,
                                                                       nullptr));
    UniqueKey key;
    LSTATUS rc = ::RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC, key.put());
    if (rc == ERROR_SUCCESS) rc = ::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, sd);
    ::LocalFree(sd);
    ASSERT_EQ(rc, ERROR_SUCCESS) << "DACL of a key";
}

}  // namespace tvx::test
