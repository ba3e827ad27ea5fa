// Drives the real program from a test: starts and ends it, finds its window, menus and message
// boxes, presses at client coordinates and captures what the window shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tvx::test {

// Polls `done` every 20 ms until it holds or timeoutMs passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);
// The same, dispatching this thread's messages meanwhile: for windows of the test's own thread,
// whose workers report through posted messages.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// One started copy of a program; ended with TerminateProcess when the object goes, unless it
// has ended by itself.
class AppProcess {
public:
    AppProcess() = default;
    ~AppProcess() { Kill(); }
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;
    AppProcess(AppProcess&& o) noexcept;
    AppProcess& operator=(AppProcess&& o) noexcept;

    // Starts exe with its own folder as the working directory; with a token, as that user.
    static AppProcess Start(const std::wstring& exe, HANDLE token = nullptr);

    explicit operator bool() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }
    // Waits for the end; false on timeout. `exitCode` receives the code when it ended.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// Ends every running process with this file name but keepPid, again and again until none is
// left: a copy that relaunches itself may start the next one while it is being ended.
void KillAllNamed(const std::wstring& exeName, DWORD keepPid = 0);
// Ids of the running processes with this file name.
std::vector<DWORD> ProcessesNamed(const std::wstring& exeName);
// A process's command line as the system holds it; empty when it cannot be read.
std::wstring ProcessCommandLine(DWORD pid);

// Top-level windows of the process (any process when pid is 0).
std::vector<HWND> TopLevelWindows(DWORD pid);
// The main window: the unowned top-level window titled "Tarnivex" of that process.
HWND FindMainWindow(DWORD pid, DWORD timeoutMs);
// A message box of that process (a dialog of class #32770 with a static text control 0xFFFF).
HWND FindMessageBox(DWORD pid, DWORD timeoutMs);
std::wstring WindowText(HWND wnd);
std::wstring MessageBoxText(HWND box);
// Presses a button of a message box (IDYES, IDNO, IDOK...). False when it has no such button.
bool ClickDialogButton(HWND box, int id);
// A visible popup menu window (class #32768) of that process, or null.
HWND FindPopupMenu(DWORD pid, DWORD timeoutMs);

// A left press and release at client coordinates, posted as the mouse would send them.
void Press(HWND wnd, int x, int y);
// Whether a tray icon with this window and id exists (asks the tray to modify it).
bool TrayIconExists(HWND wnd, UINT id);

// 32-bit pixels, 0x00RRGGBB, rows top down.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};
// What the screen shows inside the window's rectangle.
Image CaptureWindow(HWND wnd);
bool SavePng(const Image& image, const std::wstring& path);
bool LoadPng(const std::wstring& path, Image* image);

struct ImageDifference {
    bool sameSize = false;
    double meanAbsolute = 0;    // over every channel of every pixel
    double fractionOver40 = 0;  // pixels with a channel off by more than 40
};
ImageDifference Compare(const Image& actual, const Image& expected);

}  // namespace tvx::test
