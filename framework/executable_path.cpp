#include "framework/executable_path.h"

#include <windows.h>

namespace tvx {

namespace {
// The longest path the system's wide path functions accept.
constexpr DWORD kMaxPathChars = 32768;
}  // namespace

std::wstring ExecutablePath() {
    // GetModuleFileNameW cuts the path to the buffer without failing (ERROR_INSUFFICIENT_BUFFER,
    // or no error at all on older systems), so grow until the answer is shorter than the buffer.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), size);
        if (n == 0) return {};
        if (n < size) {
            path.resize(n);
            return path;
        }
        if (size >= kMaxPathChars) return {};
        path.resize(size * 2 > kMaxPathChars ? kMaxPathChars : size * 2);
    }
}

std::wstring ExecutableBaseName() {
    std::wstring name = ExecutablePath();
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

}  // namespace tvx
