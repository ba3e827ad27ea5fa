#include "tests/support/schtasks_double.h"

#include "framework/scoped.h"
#include "tests/support/process_util.h"

namespace tvx::test {

std::wstring WindowsPathOf(const char* unixPath) {
    std::wstring path = L"Z:" + FromUtf8(unixPath);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

bool InstallSchtasksDouble(std::wstring* error) {
    wchar_t systemDir[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(systemDir, MAX_PATH);
    const std::wstring target = std::wstring(systemDir, n) + L"\\schtasks.exe";
    const std::wstring source = WindowsPathOf(TARNIVEX_SCHTASKS_DOUBLE);
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        if (error)
            *error = L"copy " + source + L" -> " + target + L" failed: " +
                     std::to_wstring(::GetLastError());
        return false;
    }
    // Wine runs its built-in tool whatever lies in system32 unless the native file is preferred.
    UniqueKey key;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0,
                                       nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status == ERROR_SUCCESS) {
        const wchar_t native[] = L"n";
        status = ::RegSetValueExW(key.get(), L"schtasks.exe", 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(native), sizeof native);
    }
    if (status != ERROR_SUCCESS) {
        if (error) *error = L"DllOverrides: " + std::to_wstring(status);
        return false;
    }
    return true;
}

std::wstring UseFreshSchtasksLog(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp, n) + name;
    ::DeleteFileW(path.c_str());
    ::DeleteFileW((path + L".xml").c_str());
    ::SetEnvironmentVariableW(L"TARNIVEX_SCHTASKS_LOG", path.c_str());
    SetSchtasksExitCode(0);
    return path;
}

void SetSchtasksExitCode(DWORD code) {
    ::SetEnvironmentVariableW(L"TARNIVEX_SCHTASKS_EXIT",
                              code == 0 ? nullptr : std::to_wstring(code).c_str());
}

namespace {
std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    if (!file) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

std::vector<std::wstring> ReadLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    const std::string bytes = ReadBytes(path);
    // Only whole lines count: a writer may be half-way through the last one.
    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(FromUtf8(bytes.substr(start, end - start)));
    }
    return lines;
}
}  // namespace

std::string LastSchtasksXmlBytes(const std::wstring& logPath) {
    return ReadBytes(logPath + L".xml");
}

std::wstring DecodeUtf16File(const std::string& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || bytes[0] != '\xFF' || bytes[1] != '\xFE') {
        return {};
    }
    std::wstring text;
    for (size_t i = 2; i < bytes.size(); i += 2) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
}

std::vector<std::wstring> WaitForLogLines(const std::wstring& logPath, size_t count,
                                          DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        auto lines = ReadLines(logPath);
        if (lines.size() >= count || ::GetTickCount64() >= deadline) return lines;
        ::Sleep(50);
    }
}

}  // namespace tvx::test
