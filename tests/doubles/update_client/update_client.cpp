// A client that the self-update downloads and starts. Its first act is to take the program's
// single-instance mutex, as a real client must before it replaces the program; then it writes
// "tarnivex_update_client.marker" in the temporary folder, two UTF-16 lines: its own path and
// "mutex=taken" or "mutex=busy" (the mutex was still held by someone). Then it exits.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const HANDLE mutex = ::CreateMutexW(nullptr, TRUE, L"Tarnivex");
    const bool tookMutex = mutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;

    wchar_t self[MAX_PATH] = {};
    const DWORD selfLength = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t dir[MAX_PATH] = {};
    const DWORD dirLength = ::GetTempPathW(MAX_PATH, dir);
    if (selfLength == 0 || dirLength == 0 || dirLength >= MAX_PATH) return 1;

    const std::wstring marker = std::wstring(dir) + L"tarnivex_update_client.marker";
    const std::wstring text = std::wstring(self, selfLength) + L"\r\n" +
                              (tookMutex ? L"mutex=taken" : L"mutex=busy") + L"\r\n";
    // Written aside and then renamed, so that a reader never meets half a marker.
    const std::wstring partial = marker + L".partial";
    const HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const BOOL ok = ::WriteFile(file, text.data(), size, &written, nullptr);
    ::CloseHandle(file);
    if (!ok || written != size) return 3;
    return ::MoveFileExW(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
