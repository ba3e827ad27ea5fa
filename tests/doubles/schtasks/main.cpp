// Recording stand-in for the Task Scheduler's command-line tool: appends its whole command line
// as one UTF-8 line to the log named by TARNIVEX_SCHTASKS_LOG (else C:\schtasks.log) and
// succeeds, so tests can see exactly what the program asked for.
#include <windows.h>

#include <string>

#include "framework/std_output.h"

int wmain() {
    wchar_t logPath[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"TARNIVEX_SCHTASKS_LOG", logPath, MAX_PATH);
    const std::wstring path =
        (n > 0 && n < MAX_PATH) ? std::wstring(logPath, n) : L"C:\\schtasks.log";

    // FILE_APPEND_DATA alone makes every write land at the end, even with several writers.
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    const std::string line = tvx::ToUtf8(::GetCommandLineW()) + "\n";
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == line.size() ? 0 : 1;
}
