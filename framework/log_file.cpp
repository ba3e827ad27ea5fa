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

// The open log of this process. Opening it for every line costs more than the line under some
// systems, so the handle stays open; it is shared for deleting, so that a rotation by another
// process (a /revert while the window runs) can still rename the file.
struct OpenLog {
    std::mutex mutex;
    bool looked = false;
    std::wstring folder;
    UniqueFileHandle file;
};

// Never destroyed: a worker may still report while the process ends.
OpenLog& TheLog() {
    static OpenLog& log = *new OpenLog;
    return log;
}

UniqueFileHandle OpenForAppending(const std::wstring& path) {
    // Append-only access: each write lands at the end, even with another process appending too.
    return UniqueFileHandle(::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    if (line.empty()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string bytes = ToUtf8(StampLogLine(now, line));

    OpenLog& log = TheLog();
    std::lock_guard guard(log.mutex);
    if (!log.looked) {
        log.looked = true;
        log.folder = LogFolder();
        if (!log.folder.empty()) ::CreateDirectoryW(log.folder.c_str(), nullptr);
    }
    if (log.folder.empty()) return;
    const std::wstring path = log.folder + L"\\Tarnivex.log";
    if (!log.file) log.file = OpenForAppending(path);
    if (!log.file) return;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(log.file.get(), &size) &&
        static_cast<ULONGLONG>(size.QuadPart) + bytes.size() > kLogCapBytes) {
        log.file.reset();
        ::MoveFileExW(path.c_str(), (log.folder + L"\\Tarnivex.old.log").c_str(),
                      MOVEFILE_REPLACE_EXISTING);
        log.file = OpenForAppending(path);
        if (!log.file) return;
    }
    DWORD written = 0;
    ::WriteFile(log.file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace tvx
