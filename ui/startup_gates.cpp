#include "ui/startup_gates.h"

#include <objidl.h>
#include <gdiplus.h>

#include <mutex>

#include "framework/scoped.h"

namespace tvx {

namespace {
// Held, never released nor closed, for the life of the process: it marks the running instance.
HANDLE g_instanceMutex = nullptr;
}  // namespace

HWND FindMainWindow() {
    // The first instance's message boxes carry the same title (the application name); they are
    // owned by its main window, which itself has no owner.
    HWND found = ::FindWindowW(nullptr, kMainWindowTitle);
    for (HWND candidate = found; candidate;
         candidate = ::FindWindowExW(nullptr, candidate, nullptr, kMainWindowTitle)) {
        if (!::GetWindow(candidate, GW_OWNER)) return candidate;
    }
    return found;
}

bool ProcessCountsAsElevated() {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return true;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
        return true;
    }
    return elevation.TokenIsElevated != 0;
}

std::wstring RunningExecutablePath() {
    // GetModuleFileNameW truncates silently at the buffer size (ERROR_INSUFFICIENT_BUFFER, or
    // no error at all on older systems), so grow until the answer is shorter than the buffer.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return {};  // beyond the longest path Windows allows
        path.resize(path.size() * 2);
    }
}

SHELLEXECUTEINFOW MakeRelaunchRequest(const std::wstring& file) {
    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof(request);
    request.fMask = 0;
    request.hwnd = nullptr;
    request.lpVerb = L"runas";
    request.lpFile = file.c_str();
    request.lpParameters = L"/uac";
    request.lpDirectory = nullptr;
    request.nShow = SW_SHOWNORMAL;
    return request;
}

bool CommandLineIsElevatedRelaunch(const wchar_t* commandLine) {
    if (!commandLine || !*commandLine) return false;
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(commandLine, &count);
    if (!args) return false;
    bool relaunch = false;
    for (int i = 1; i < count; ++i) {
        if (::lstrcmpiW(args[i], L"/uac") == 0) relaunch = true;
    }
    ::LocalFree(args);
    return relaunch;
}

void RequestElevatedRelaunch() {
    if (CommandLineIsElevatedRelaunch(::GetCommandLineW())) return;
    // The running file by its full path: a bare file name would only be found in the working
    // directory, and not at all once the file is renamed.
    const std::wstring self = RunningExecutablePath();
    if (self.empty()) return;
    SHELLEXECUTEINFOW request = MakeRelaunchRequest(self);
    ::ShellExecuteExW(&request);
}

void EnterSingleInstance() {
    // Already the running instance (a second main window in the same process).
    if (g_instanceMutex) return;
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, kInstanceMutexName);
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex) ::CloseHandle(mutex);
        if (const HWND first = FindMainWindow()) {
            ::ShowWindow(first, SW_RESTORE);
            ::SetForegroundWindow(first);
        }
        ::ExitProcess(0);
    }
    // A mutex that could not be created at all: go on as the first instance.
    g_instanceMutex = mutex;
}

void StartGdiplusOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        Gdiplus::GdiplusStartupInput input;  // version 1, no callback, background thread on
        ULONG_PTR token = 0;                 // not kept: GDI+ is never shut down
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    });
}

}  // namespace tvx
