#include "bench/soak/machine_state.h"

#include <cstdio>
#include <cwchar>
#include <cstring>

#include "engine/tcp_tuning.h"
#include "tests/support/app_driver.h"

namespace tvx::soak {

namespace {

constexpr wchar_t kStoreRoot[] = L"SOFTWARE\\Tarnivex";
constexpr wchar_t kSettingsRoot[] = L"Software\\Tarnivex";
constexpr wchar_t kExeName[] = L"Tarnivex.exe";
// Interface keys the soak adds begin with this, so that a later clean-up finds them.
constexpr wchar_t kSoakInterfacePrefix[] = L"{50A1C000-";

std::wstring InterfaceKey(const std::wstring& name) {
    return std::wstring(kInterfacesKey) + L"\\" + name;
}

std::wstring FullName(const std::wstring& key, const wchar_t* value) { return key + L"\\" + value; }

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string Describe(const test::RegValue& v) {
    char text[64];
    if (v.type == REG_DWORD && v.data.size() == sizeof(DWORD)) {
        DWORD n = 0;
        std::memcpy(&n, v.data.data(), sizeof n);
        std::snprintf(text, sizeof text, "REG_DWORD %lu", static_cast<unsigned long>(n));
        return text;
    }
    if (v.type == REG_SZ) {
        std::wstring s(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / 2);
        while (!s.empty() && s.back() == L'\0') s.pop_back();
        return "REG_SZ \"" + Narrow(s) + "\"";
    }
    std::snprintf(text, sizeof text, "type %lu, %zu bytes", static_cast<unsigned long>(v.type),
                  v.data.size());
    return text;
}

// Values of one key and, below it, of every subkey.
void CollectValues(const std::wstring& path, ValueMap& out) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD size = 16384;
        if (::RegEnumValueW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::wstring value(name, size);
        if (auto v = test::ReadValue(HKEY_LOCAL_MACHINE, path, value)) {
            out[FullName(path, value.c_str())] = *v;
        }
    }
    ::RegCloseKey(key);
    for (const auto& sub : test::SubkeyNames(HKEY_LOCAL_MACHINE, path))
        CollectValues(path + L"\\" + sub, out);
}

void RemoveProgramValues() {
    test::DeleteValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue);
    for (const auto& name : test::SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey))
        test::DeleteValue(HKEY_LOCAL_MACHINE, InterfaceKey(name), kAckFrequencyValue);
    test::DeleteTree(HKEY_LOCAL_MACHINE, kStoreRoot);
    test::DeleteTree(HKEY_CURRENT_USER, kSettingsRoot);
}

}  // namespace

std::vector<std::wstring> GamePingNames() {
    std::vector<std::wstring> names{FullName(kMsmqKey, kNoDelayValue)};
    for (const auto& name : test::SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey))
        names.push_back(FullName(InterfaceKey(name), kAckFrequencyValue));
    return names;
}

ValueMap ReadGamePingValues() {
    ValueMap values;
    if (auto v = test::ReadValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue))
        values[FullName(kMsmqKey, kNoDelayValue)] = *v;
    for (const auto& name : test::SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey)) {
        if (auto v = test::ReadValue(HKEY_LOCAL_MACHINE, InterfaceKey(name), kAckFrequencyValue))
            values[FullName(InterfaceKey(name), kAckFrequencyValue)] = *v;
    }
    return values;
}

bool AllOn(const ValueMap& values) {
    const auto names = GamePingNames();
    if (names.size() < 2) return false;
    for (const auto& name : names) {
        const auto it = values.find(name);
        if (it == values.end() || it->second.type != REG_DWORD || it->second.data.size() != 4)
            return false;
        DWORD n = 0;
        std::memcpy(&n, it->second.data.data(), sizeof n);
        if (n != 1) return false;
    }
    return true;
}

Store ReadStore() {
    Store store;
    if (!test::KeyExists(HKEY_LOCAL_MACHINE, kStoreRoot)) return store;
    CollectValues(kStoreRoot, store.values);
    store.state = store.values.empty() ? StoreState::Empty : StoreState::Holding;
    return store;
}

const char* StoreStateName(StoreState state) {
    switch (state) {
        case StoreState::Gone:
            return "gone";
        case StoreState::Empty:
            return "empty";
        case StoreState::Holding:
            return "holding entries";
    }
    return "?";
}

WriteSpan WritesSince(unsigned long long since) {
    std::vector<std::wstring> keys{kMsmqKey, std::wstring(kStoreRoot) + L"\\TcpBackup\\Saved",
                                   std::wstring(kStoreRoot) + L"\\TcpBackup\\Created"};
    for (const auto& name : test::SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey))
        keys.push_back(InterfaceKey(name));
    WriteSpan span;
    for (const auto& path : keys) {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS) {
            continue;
        }
        FILETIME written{};
        const bool ok =
            ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, &written) == ERROR_SUCCESS;
        ::RegCloseKey(key);
        const unsigned long long t =
            (static_cast<unsigned long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
        if (!ok || t <= since) continue;
        if (!span.first || t < span.first) span.first = t;
        if (t > span.last) span.last = t;
    }
    return span;
}

ValueMap PrepareMachine(int interfaces, std::string& error) {
    ClearMachine();
    const auto own = test::SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey);  // the prefix's
    if (own.size() < 3) {
        error = "the prefix has " + std::to_string(own.size()) +
                " interface keys; the soak needs three";
        return {};
    }
    for (int i = 0; i < interfaces - static_cast<int>(own.size()); ++i) {
        wchar_t name[64];
        std::swprintf(name, 64, L"%ls5A4B-4000-8000-%012d}", kSoakInterfacePrefix, i);
        test::CreateKey(HKEY_LOCAL_MACHINE, InterfaceKey(name));
    }
    const std::vector<std::wstring> names(own.begin(), own.begin() + 3);
    const DWORD two = 2;
    const wchar_t text[] = L"set before the soak";
    const BYTE bytes[] = {0x53, 0x4F, 0x41, 0x4B, 0x00, 0xFF, 0x01};
    test::WriteValue(HKEY_LOCAL_MACHINE, InterfaceKey(names[0]), kAckFrequencyValue, REG_DWORD,
                     &two, sizeof two);
    test::WriteValue(HKEY_LOCAL_MACHINE, InterfaceKey(names[1]), kAckFrequencyValue, REG_SZ, text,
                     sizeof text);
    test::WriteValue(HKEY_LOCAL_MACHINE, InterfaceKey(names[2]), kAckFrequencyValue, REG_BINARY,
                     bytes, sizeof bytes);
    ValueMap baseline = ReadGamePingValues();
    if (baseline.size() != 3) {
        error = "the planted values did not read back";
        return {};
    }
    return baseline;
}

void PutBack(const ValueMap& baseline) {
    test::KillAllNamed(kExeName);
    RemoveProgramValues();
    for (const auto& [name, value] : baseline) {
        const size_t cut = name.find_last_of(L'\\');
        test::WriteValue(HKEY_LOCAL_MACHINE, name.substr(0, cut), name.substr(cut + 1), value.type,
                         value.data.data(), static_cast<DWORD>(value.data.size()));
    }
}

void ClearMachine() {
    test::KillAllNamed(kExeName);
    RemoveProgramValues();
    for (const auto& name : test::SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey)) {
        if (name.rfind(kSoakInterfacePrefix, 0) == 0)
            test::DeleteTree(HKEY_LOCAL_MACHINE, InterfaceKey(name));
    }
}

std::vector<std::string> Differences(const ValueMap& expected, const ValueMap& actual) {
    std::vector<std::string> lines;
    for (const auto& [name, want] : expected) {
        const auto it = actual.find(name);
        if (it == actual.end()) {
            lines.push_back(ShortName(name) + ": missing, expected " + Describe(want));
        } else if (it->second.type != want.type || it->second.data != want.data) {
            lines.push_back(ShortName(name) + ": " + Describe(it->second) + ", expected " +
                            Describe(want));
        }
    }
    for (const auto& [name, have] : actual) {
        if (!expected.count(name))
            lines.push_back(ShortName(name) + ": " + Describe(have) + ", expected none");
    }
    return lines;
}

std::string ShortName(const std::wstring& fullName) {
    const size_t last = fullName.find_last_of(L'\\');
    const size_t before = last == std::wstring::npos || last == 0
                              ? std::wstring::npos
                              : fullName.find_last_of(L'\\', last - 1);
    return Narrow(before == std::wstring::npos ? fullName : fullName.substr(before + 1));
}

}  // namespace tvx::soak
