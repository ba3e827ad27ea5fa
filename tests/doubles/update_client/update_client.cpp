// A client that the self-update downloads and starts. It writes its own path into
// "tarnivex_update_client.marker" in the temporary folder, so a test can see that it ran and
// from where, then exits.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH] = {};
    const DWORD selfLength = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t marker[MAX_PATH] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH, marker);
    if (n == 0 || n + 40 >= MAX_PATH) return 1;
    ::lstrcatW(marker, L"tarnivex_update_client.marker");

    const HANDLE file = ::CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, self, selfLength * sizeof(wchar_t), &written, nullptr);
    ::CloseHandle(file);
    return ok ? 0 : 3;
}
