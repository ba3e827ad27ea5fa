// Process entry: everything happens in the application object's InitInstance.
#include <windows.h>

#include "framework/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    // Before anything can load a library (the delay-loaded WinINet, WinTrust, Crypt32, bcrypt
    // and the shell's own on-demand loads): libraries come from the system folder only. The
    // program's folder and the working directory are whatever the user's programs made of them
    // (a Downloads folder, a portable copy's folder), and this process runs with administrator
    // rights. Every mode passes here: the window, /revert, /exit and /cleanup.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return AfxWinMain(instance, previous, commandLine, show);
}
