// Loaded into a process, writes "planted-dll-loaded.txt" beside itself: whoever loaded it has
// run code that anyone able to write that folder supplied. It exports nothing, so a caller that
// went on to use it would fail; the marker is written before that.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return TRUE;
    std::wstring marker(path, n);
    marker.resize(marker.rfind(L'\\') + 1);
    marker += L"planted-dll-loaded.txt";
    const HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    return TRUE;
}
