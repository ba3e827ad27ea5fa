// Start-up of Tarnivex.exe to its first painted frame, against a bare Win32 window program
// started in the same run; also the size of the executable and its working set once shown.
// "Shown" means: the window is visible and the process has gone idle in its message loop for
// the first time, which happens only after the initial WM_PAINT has been handled.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring ExeDir() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

struct Run {
    double ms = -1;
    SIZE_T workingSet = 0;
};

// Starts `exe`, waits until its window titled `title` is visible and the process idles, and
// ends it again.
Run StartOnce(const std::wstring& exe, const wchar_t* title) {
    Run run;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = L"\"" + exe + L"\"";
    LARGE_INTEGER freq, t0, t1;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&t0);
    if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi)) {
        std::fprintf(stderr, "cannot start %ls (%lu)\n", exe.c_str(), ::GetLastError());
        return run;
    }
    bool shown = false;
    HWND hwnd = nullptr;
    for (int i = 0; i < 20000 && !shown; ++i) {
        hwnd = ::FindWindowW(nullptr, title);
        DWORD pid = 0;
        if (hwnd) ::GetWindowThreadProcessId(hwnd, &pid);
        shown = hwnd && pid == pi.dwProcessId && ::IsWindowVisible(hwnd);
        if (!shown) ::Sleep(1);
    }
    if (shown && ::WaitForInputIdle(pi.hProcess, 10000) == 0) {
        ::QueryPerformanceCounter(&t1);
        run.ms = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) /
                 static_cast<double>(freq.QuadPart);
        ::Sleep(300);  // let it settle before reading its memory
        PROCESS_MEMORY_COUNTERS pmc = {};
        pmc.cb = sizeof(pmc);
        if (::K32GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof(pmc)))
            run.workingSet = pmc.WorkingSetSize;
    }
    // Take a tray icon away first: the notification area of a killed owner's icon slows every
    // later window start by seconds under Wine.
    if (hwnd) {
        NOTIFYICONDATAW nid = {};
        nid.cbSize = sizeof(nid);
        nid.hWnd = hwnd;
        nid.uID = 1;
        ::Shell_NotifyIconW(NIM_DELETE, &nid);
    }
    ::TerminateProcess(pi.hProcess, 0);
    ::WaitForSingleObject(pi.hProcess, 10000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const std::wstring dir = ExeDir();
    const std::wstring program = dir + L"..\\..\\app\\Tarnivex.exe";
    const std::wstring bare = dir + L"bare_window.exe";

    // One unmeasured start of each warms the file cache and the Wine server.
    StartOnce(program, L"Tarnivex");
    StartOnce(bare, L"BareWindow");

    std::vector<double> programMs, bareMs;
    SIZE_T programWs = 0, bareWs = 0;
    for (int i = 0; i < rounds; ++i) {
        const Run p = StartOnce(program, L"Tarnivex");
        const Run b = StartOnce(bare, L"BareWindow");
        if (p.ms < 0 || b.ms < 0) {
            std::fprintf(stderr, "round %d: a window did not appear\n", i + 1);
            return 1;
        }
        programMs.push_back(p.ms);
        bareMs.push_back(b.ms);
        programWs = std::max(programWs, p.workingSet);
        bareWs = std::max(bareWs, b.workingSet);
    }

    WIN32_FILE_ATTRIBUTE_DATA attr = {};
    ::GetFileAttributesExW(program.c_str(), GetFileExInfoStandard, &attr);
    const double sizeKiB =
        (static_cast<double>(attr.nFileSizeHigh) * 4294967296.0 + attr.nFileSizeLow) / 1024.0;

    const double p = Median(programMs), b = Median(bareMs);
    const double pMin = *std::min_element(programMs.begin(), programMs.end());
    const double bMin = *std::min_element(bareMs.begin(), bareMs.end());
    std::printf(
        "startup to first painted frame over %d rounds: Tarnivex.exe median %.1f ms (min %.1f), "
        "bare window median %.1f ms (min %.1f)\n",
        rounds, p, pMin, b, bMin);
    // The minimum is the least disturbed by other load on the machine.
    std::printf("startup ratio Tarnivex/bare: %.2f by medians, %.2f by minima (target <= 1.3)\n",
                p / b, pMin / bMin);
    std::printf("Tarnivex.exe size: %.0f KiB (target < 1024 KiB)\n", sizeKiB);
    std::printf("working set once shown: Tarnivex.exe %.1f MiB, bare window %.1f MiB\n",
                programWs / 1048576.0, bareWs / 1048576.0);
    return 0;
}
