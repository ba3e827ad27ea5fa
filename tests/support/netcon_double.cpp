#include "tests/support/netcon_double.h"

#include <sstream>

#include "framework/scoped.h"
#include "tests/support/process_util.h"
#include "tests/support/registry_test_util.h"

namespace tvx::test {
namespace {

constexpr wchar_t kClassKey[] = L"CLSID\\{BA126AD1-2166-11D1-B1D0-00805FC1270E}";

std::wstring TempPath(const std::wstring& name) {
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

}  // namespace

std::wstring NetconDoubleDllPath() {
    // The build machine's absolute path, seen through Wine's Z: drive.
    std::wstring path = L"Z:" + FromUtf8(TARNIVEX_NETCON_DOUBLE);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

bool RegisterNetconDouble(const std::wstring& dllPath) {
    const std::wstring key = std::wstring(kClassKey) + L"\\InprocServer32";
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &raw, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    UniqueKey inproc(raw);
    // Both: the pass calls from a single-threaded apartment, other callers may not.
    const std::wstring model = L"Both";
    return ::RegSetValueExW(
               inproc.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(dllPath.c_str()),
               static_cast<DWORD>((dllPath.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
           ::RegSetValueExW(inproc.get(), L"ThreadingModel", 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(model.c_str()),
                            static_cast<DWORD>((model.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
}

void UnregisterNetconDouble() { DeleteTree(HKEY_CLASSES_ROOT, kClassKey); }

std::wstring UseNetconConfig(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    const std::wstring path = TempPath(L"tarnivex_netcon_config.txt");
    WriteFileBytes(path, text);
    ::SetEnvironmentVariableW(L"TARNIVEX_NETCON_CONFIG", path.c_str());
    return path;
}

std::wstring UseFreshNetconLog(const std::wstring& name) {
    const std::wstring path = TempPath(name);
    WriteFileBytes(path, {});
    ::SetEnvironmentVariableW(L"TARNIVEX_NETCON_LOG", path.c_str());
    return path;
}

DisconnectTally TallyDisconnects(const std::vector<NetconRecord>& records) {
    DisconnectTally tally;
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].event != "disconnect") continue;
        ++tally.down;
        bool up = false;
        for (size_t j = i + 1; j < records.size(); ++j) {
            up = up || (records[j].event == "connect" && records[j].detail == records[i].detail);
        }
        if (!up) tally.leftDown.push_back(records[i].detail);
    }
    return tally;
}

std::vector<NetconRecord> ReadNetconLog(const std::wstring& logPath) {
    std::vector<NetconRecord> records;
    std::istringstream lines(ReadFileBytes(logPath));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        NetconRecord record;
        if (!(fields >> record.event >> record.threadId >> record.ticks)) continue;
        std::string rest;
        std::getline(fields, rest);
        if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
        record.detail = FromUtf8(rest);
        records.push_back(std::move(record));
    }
    return records;
}

NetconDoubleSession::NetconDoubleSession(const std::vector<std::string>& connections)
    : registered_(RegisterNetconDouble()), logPath_(UseFreshNetconLog(L"tarnivex_netcon_log.txt")) {
    UseNetconConfig(connections);
}

NetconDoubleSession::~NetconDoubleSession() {
    UnregisterNetconDouble();
    ::SetEnvironmentVariableW(L"TARNIVEX_NETCON_LOG", nullptr);
    ::SetEnvironmentVariableW(L"TARNIVEX_NETCON_CONFIG", nullptr);
}

}  // namespace tvx::test
