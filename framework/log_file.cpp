#include "framework/log_file.h"

#include <knownfolders.h>

#include <cwchar>
#include <mutex>

#include "framework/known_folder.h"
#include "framework/protected_home.h"
#include "framework/scoped.h"
#include "framework/std_output.h"

namespace tvx {

namespace {

constexpr wchar_t kLogsName[] = L"Logs";
constexpr wchar_t kLogName[] = L"Tarnivex.log";
constexpr wchar_t kOldLogName[] = L"Tarnivex.old.log";

// The open log of this process. Opening it for every line costs more than the line under some
// systems, so the handle stays open, and so do the folders above it (held, they cannot be
// swapped for a link meanwhile). The file is shared for deleting, so that a rotation by another
// process (a /revert while the window runs) can still rename it.
struct OpenLog {
    std::mutex mutex;
    bool looked = false;
    ProtectedFolder home;
    ProtectedFolder folder;
    UniqueFileHandle file;
};

// Never destroyed: a worker may still report while the process ends.
OpenLog& TheLog() {
    static OpenLog& log = *new OpenLog;
    return log;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

UniqueFileHandle OpenForAppending(const ProtectedFolder& folder) {
    // Append-only access: each write lands at the end, even with another process appending too.
    // No DELETE access: a reader that does not share deleting (most editors) could not open it.
    return folder.OpenFile(kLogName, FILE_APPEND_DATA, kShareAll, FileDisposition::OpenAlways);
}

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return ::GetFileInformationByHandle(a, &x) && ::GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

// Renames the full log to the older name, through a handle of its own opened for that alone;
// when another process has rotated it already, the name now holds its fresh log, which stays.
void Rotate(const ProtectedFolder& folder, HANDLE full) {
    const UniqueFileHandle renaming =
        folder.OpenFile(kLogName, DELETE, kShareAll, FileDisposition::OpenExisting);
    if (renaming && SameFile(renaming.get(), full)) {
        folder.RenameEntry(renaming.get(), kOldLogName, true);
    }
}

}  // namespace

std::wstring LogFilePath() {
    const std::wstring programData = KnownFolderPath(FOLDERID_ProgramData);
    return programData.empty() ? std::wstring()
                               : programData + L"\\Tarnivex\\" + kLogsName + L"\\" + kLogName;
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
        log.home = OpenProtectedHome();
        log.folder = log.home.OpenSubfolder(kLogsName, kHomeSddl);
    }
    if (!log.folder) return;
    if (!log.file) log.file = OpenForAppending(log.folder);
    if (!log.file) return;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(log.file.get(), &size) &&
        static_cast<ULONGLONG>(size.QuadPart) + bytes.size() > kLogCapBytes) {
        Rotate(log.folder, log.file.get());
        log.file = OpenForAppending(log.folder);
        if (!log.file) return;
    }
    DWORD written = 0;
    ::WriteFile(log.file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace tvx
