// Recording stand-in for the Task Scheduler's command-line tool: appends its whole command line
// as one UTF-8 line to the log named by TARNIVEX_SCHTASKS_LOG (else C:\schtasks.log); the bytes
// of a definition given with /xml go to the log's path plus ".xml", read while the file exists
// as schtasks itself reads it. It ends with TARNIVEX_SCHTASKS_EXIT (default 0), so tests can see
// exactly what the program asked for and make the tool fail; a definition it cannot read fails
// with 2.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "framework/std_output.h"

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(value, n) : std::wstring();
}

bool Append(const std::wstring& path, const std::string& bytes, DWORD disposition) {
    // FILE_APPEND_DATA alone makes every write land at the end, even with several writers.
    const DWORD access = disposition == OPEN_ALWAYS ? FILE_APPEND_DATA : GENERIC_WRITE;
    HANDLE file = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

bool ReadAll(const std::wstring& path, std::string* bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes->append(buffer, got);
    ::CloseHandle(file);
    return true;
}

// The argument after /xml, empty when there is none.
std::wstring XmlArgument() {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring path;
    for (int i = 1; args && i + 1 < count; ++i) {
        if (::lstrcmpiW(args[i], L"/xml") == 0) path = args[i + 1];
    }
    if (args) ::LocalFree(args);
    return path;
}

}  // namespace

int wmain() {
    std::wstring log = Environment(L"TARNIVEX_SCHTASKS_LOG");
    if (log.empty()) log = L"C:\\schtasks.log";
    if (!Append(log, tvx::ToUtf8(::GetCommandLineW()) + "\n", OPEN_ALWAYS)) return 1;

    const std::wstring xml = XmlArgument();
    if (!xml.empty()) {
        std::string bytes;
        if (!ReadAll(xml, &bytes) || !Append(log + L".xml", bytes, CREATE_ALWAYS)) return 2;
    }
    const std::wstring code = Environment(L"TARNIVEX_SCHTASKS_EXIT");
    return code.empty() ? 0 : static_cast<int>(std::wcstoul(code.c_str(), nullptr, 10));
}
