#include "framework/std_output.h"

#include <windows.h>

#include <climits>
#include <mutex>

namespace tvx {

std::string ToUtf8(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int wide = static_cast<int>(text.size());
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

void AttachParentConsoleOutput() {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE) return;
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    const HANDLE console =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    // Kept open for the rest of the process: it is its standard output now.
    if (console != INVALID_HANDLE_VALUE) ::SetStdHandle(STD_OUTPUT_HANDLE, console);
}

void WriteStdOut(std::wstring_view text) {
    // Two workers may print at once; one lock keeps each line whole. Never destroyed: a worker may
    // still print while the process's static objects are torn down.
    static std::mutex& lock = *new std::mutex;
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE || text.empty()) return;

    std::lock_guard<std::mutex> guard(lock);
    // Asking whether the handle is a console costs a round trip per line; ask once per handle.
    static HANDLE knownHandle = nullptr;
    static bool isConsole = false;
    if (out != knownHandle) {
        DWORD mode = 0;
        isConsole = ::GetConsoleMode(out, &mode) != FALSE;
        knownHandle = out;
    }
    DWORD written = 0;
    if (isConsole) {
        ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = ToUtf8(text);
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace tvx
