#include "ui/startup_gates.h"

#include <objidl.h>
#include <gdiplus.h>

#include <mutex>

#include "framework/executable_path.h"
#include "framework/scoped.h"

namespace tvx {

namespace {
// Held for the life of the process (it marks the running instance), until a self-update hands
// over to the new client.
HANDLE g_instanceMutex = nullptr;
}  // namespace

namespace {

// Whether the window belongs to another process running a file named Tarnivex.exe (this
// process's own window exists already while its gates run). A process that cannot be asked
// (another user's, a protected one) does not count.
bool WindowOfOurProgram(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == ::GetCurrentProcessId()) return false;
    const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return false;
    std::wstring image(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(image.size());
        if (::QueryFullProcessImageNameW(process.get(), 0, image.data(), &size)) {
            image.resize(size);
            break;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || image.size() >= 32768) return false;
        image.resize(image.size() * 2);
    }
    const size_t slash = image.find_last_of(L"\\/");
    const std::wstring file = slash == std::wstring::npos ? image : image.substr(slash + 1);
    return ::lstrcmpiW(file.c_str(), kProgramFileName) == 0;
}

}  // namespace

void RegisterMainWindowClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The system dialog class under our own name: the dialog manager drives it as before.
        WNDCLASSEXW cls = {};
        cls.cbSize = sizeof cls;
        if (!::GetClassInfoExW(nullptr, MAKEINTATOM(0x8002), &cls)) return;
        cls.hInstance = ::GetModuleHandleW(nullptr);
        cls.lpszClassName = kMainWindowClass;
        ::RegisterClassExW(&cls);
    });
}

HWND FindMainWindow() {
    // The first instance's message boxes are owned by its main window, which itself has no owner.
    for (HWND candidate = ::FindWindowExW(nullptr, nullptr, kMainWindowClass, nullptr); candidate;
         candidate = ::FindWindowExW(nullptr, candidate, kMainWindowClass, nullptr)) {
        if (!::GetWindow(candidate, GW_OWNER) && WindowOfOurProgram(candidate)) return candidate;
    }
    return nullptr;
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
    const std::wstring self = ExecutablePath();
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

void LeaveSingleInstance() {
    if (!g_instanceMutex) return;
    // Released and closed: while any handle stays open, the next CreateMutex finds the mutex
    // existing and takes this process for a running instance.
    ::ReleaseMutex(g_instanceMutex);
    ::CloseHandle(g_instanceMutex);
    g_instanceMutex = nullptr;
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
