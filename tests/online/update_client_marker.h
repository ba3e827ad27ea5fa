// The marker that the stand-in client (tests/doubles/update_client) leaves when it runs.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tvx::test {

// What the client reported about its run.
struct UpdateClientRun {
    std::wstring path;  // where it ran from
    bool tookMutex;     // it created the program's single-instance mutex (nobody held it)
};

inline std::wstring UpdateClientMarkerPath() {
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"tarnivex_update_client.marker";
}

inline void DeleteUpdateClientMarker() { ::DeleteFileW(UpdateClientMarkerPath().c_str()); }

// The marker's two lines, "PATH\r\nmutex=taken|busy\r\n"; nothing when it is not that.
inline std::optional<UpdateClientRun> ParseUpdateClientMarker(const std::wstring& text) {
    const size_t end = text.find(L"\r\n");
    if (end == std::wstring::npos || end == 0) return std::nullopt;
    const std::wstring mutex = text.substr(end + 2);
    if (mutex == L"mutex=taken\r\n") return UpdateClientRun{text.substr(0, end), true};
    if (mutex == L"mutex=busy\r\n") return UpdateClientRun{text.substr(0, end), false};
    return std::nullopt;
}

// The client's report, once its marker exists (waits up to timeoutMs).
inline std::optional<UpdateClientRun> WaitForUpdateClientMarker(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    do {
        const HANDLE file = ::CreateFileW(UpdateClientMarkerPath().c_str(), GENERIC_READ,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            wchar_t text[2 * MAX_PATH] = {};
            DWORD got = 0;
            const BOOL ok = ::ReadFile(file, text, sizeof text - sizeof(wchar_t), &got, nullptr);
            ::CloseHandle(file);
            if (ok) {
                if (auto run = ParseUpdateClientMarker(std::wstring(text, got / sizeof(wchar_t))))
                    return run;
            }
        }
        ::Sleep(100);
    } while (::GetTickCount() - start < timeoutMs);
    return std::nullopt;
}

}  // namespace tvx::test
