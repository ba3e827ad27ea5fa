// The rules that run first while the main window initialises: the program runs elevated, only
// one instance runs at a time, and GDI+ is up before any image is loaded.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace tvx {

inline constexpr wchar_t kInstanceMutexName[] = L"Tarnivex";
inline constexpr wchar_t kMainWindowTitle[] = L"Tarnivex";
// The main window's own class (the dialog template names it), by which another copy finds it:
// any program can title a window "Tarnivex" (an Explorer window open on the install folder does).
inline constexpr wchar_t kMainWindowClass[] = L"TarnivexMainWindow";
// The file name of a process whose main window another copy may talk to.
inline constexpr wchar_t kProgramFileName[] = L"Tarnivex.exe";

// Registers kMainWindowClass, a copy of the system's dialog class, once per process; the main
// window cannot be created before.
void RegisterMainWindowClass();

// False only when the token could be queried and says the process is not elevated; a token that
// cannot be opened or queried counts as elevated.
bool ProcessCountsAsElevated();

// The elevated relaunch of `file` with "/uac". The record points into `file`, which must outlive
// it.
SHELLEXECUTEINFOW MakeRelaunchRequest(const std::wstring& file);

// Whether a command line carries the "/uac" argument of the elevated relaunch (any case).
bool CommandLineIsElevatedRelaunch(const wchar_t* commandLine);

// Asks the shell to start this executable again with administrator rights, unless this process
// is itself such a relaunch: when the shell "elevates" without granting the rights (no UAC, or a
// compatibility layer), asking again would start copy after copy without end. The outcome is not
// examined: this instance ends either way.
void RequestElevatedRelaunch();

// The running instance's main window: an unowned top-level window of kMainWindowClass whose
// process (another than this one) runs a file named Tarnivex.exe. Windows of any other process,
// whatever their class or title, are never taken for it. Null when there is none.
HWND FindMainWindow();

// Returns when this process is the running instance (it then holds the named mutex until it
// ends). A second instance restores and foregrounds the first one's window and ends the process
// with exit code 0 without returning.
void EnterSingleInstance();

// Lets go of the named mutex, so that another copy (the new client of a self-update) can be the
// running instance while this process is still ending.
void LeaveSingleInstance();

// GdiplusStartup, once per process; GDI+ then stays up until the process ends.
void StartGdiplusOnce();

}  // namespace tvx
