#include "framework/log_file.h"

#include <knownfolders.h>

#include <cwchar>
#include <mutex>

#include "framework/known_folder.h"
#include "framework/scoped.h"
#include "framework/std_output.h"

namespace tvx {

namespace {

std::wstring LogFolder() {
    const std::wstring local = KnownFolderPath(FOLDERID_LocalAppData);
    return local.empty() ? std::wstring() : local + L"\\Tarnivex";
}

// Two passes of the window's workers may report at once; the log's size check and the append
// must not interleave. Never destroyed: a worker may still report while the process ends.
std::mutex& LogLock() {
    static std::mutex& lock = *new std::mutex;
    return lock;
}

}  // namespace

std::wstring LogFilePath() {
    const std::wstring folder = LogFolder();
    return folder.empty() ? std::wstring() : folder + L"\\Tarnivex.log";
}

std::wstring StampLogLine(const SYSTEMTIME& local, std::wstring_view line) {
    wchar_t stamp[32];
    std::swprintf(stamp, std::size(stamp), L"%04u-%02u-%02u %02u:%02u:%02u ", local.wYear,
                  local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond);
    return stamp + std::wstring(line);
}

void AppendLogLine(std::wstring_view line) {
    const std::wstring folder = LogFolder();
    if (folder.empty() || line.empty()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string bytes = ToUtf8(StampLogLine(now, line));
    const std::wstring path = folder + L"\\Tarnivex.log";

    std::lock_guard guard(LogLock());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) {
        const ULONGLONG size =
            (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        if (size + bytes.size() > kLogCapBytes) {
            ::MoveFileExW(path.c_str(), (folder + L"\\Tarnivex.old.log").c_str(),
                          MOVEFILE_REPLACE_EXISTING);
        }
    }
    // Append-only access: each write lands at the end, even with another process appending too.
    const UniqueFileHandle file(::CreateFileW(
        path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace tvx
