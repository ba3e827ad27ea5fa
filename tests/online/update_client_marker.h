// The marker that the stand-in client (tests/doubles/update_client) leaves when it runs.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tvx::test {

inline std::wstring UpdateClientMarkerPath() {
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"tarnivex_update_client.marker";
}

inline void DeleteUpdateClientMarker() { ::DeleteFileW(UpdateClientMarkerPath().c_str()); }

// The path the client ran from, once its marker exists (waits up to timeoutMs).
inline std::optional<std::wstring> WaitForUpdateClientMarker(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    do {
        const HANDLE file = ::CreateFileW(UpdateClientMarkerPath().c_str(), GENERIC_READ,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            wchar_t text[MAX_PATH] = {};
            DWORD got = 0;
            const BOOL ok = ::ReadFile(file, text, sizeof text - sizeof(wchar_t), &got, nullptr);
            ::CloseHandle(file);
            if (ok && got > 0) return std::wstring(text, got / sizeof(wchar_t));
        }
        ::Sleep(100);
    } while (::GetTickCount() - start < timeoutMs);
    return std::nullopt;
}

}  // namespace tvx::test
