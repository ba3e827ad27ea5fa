#include "tests/support/link_plant.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "framework/scoped.h"

namespace tvx::test {

namespace {

constexpr char kCanaryText[] = "canary";

using UnixName = char*(CDECL*)(LPCWSTR);

UnixName WineUnixName() {
    return reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

std::wstring Widen(const char* text) {
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
    return out;
}

// Wine starts Unix programs too; without a real process handle, the result shows in the prefix.
bool RunUnix(const std::wstring& program, std::wstring commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info)) {
        return false;
    }
    ::CloseHandle(info.hThread);
    ::WaitForSingleObject(info.hProcess, 10000);
    ::CloseHandle(info.hProcess);
    return true;
}

std::wstring UnixPath(UnixName unixName, const std::wstring& path) {
    char* name = unixName(path.c_str());
    if (!name) return {};
    std::wstring wide = Widen(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return wide;
}

}  // namespace

bool IsLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    // Wine shows a link to a file as the file: where its handle leads gives it away.
    const UniqueFileHandle handle(::CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return false;
    wchar_t final[MAX_PATH * 2];
    const DWORD n = ::GetFinalPathNameByHandleW(handle.get(), final, MAX_PATH * 2, 0);
    if (n == 0 || n >= MAX_PATH * 2) return false;
    const std::wstring resolved = std::wstring(final).substr(4);  // after "\\?\"
    return ::lstrcmpiW(resolved.c_str(), path.c_str()) != 0;
}

namespace {

bool WaitFor(bool (*check)(const std::wstring&), const std::wstring& path, bool wanted) {
    for (int i = 0; i < 200; ++i) {
        if (check(path) == wanted) return true;
        ::Sleep(50);
    }
    return false;
}

// Whether the folder lists the name, a dangling link included (which no open reaches).
bool Listed(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    ::FindClose(search);
    return true;
}

bool Missing(const std::wstring& path) { return !Listed(path); }

}  // namespace

bool PlantLink(const std::wstring& link, const std::wstring& target) {
    // ln onto a link to a folder would make the new link inside its target.
    if (Listed(link)) return false;
    if (const UnixName unixName = WineUnixName()) {
        // The link's own name is not there yet: its folder's Unix name and the link's name.
        const size_t slash = link.rfind(L'\\');
        const std::wstring folder = UnixPath(unixName, link.substr(0, slash));
        const std::wstring to = UnixPath(unixName, target);
        if (folder.empty() || to.empty()) return false;
        if (!RunUnix(L"Z:\\bin\\ln", L"/bin/ln -s \"" + to + L"\" \"" + folder + L"/" +
                                         link.substr(slash + 1) + L"\"")) {
            return false;
        }
        return WaitFor(IsLink, link, true);
    }
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const DWORD flags =
        (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            ? SYMBOLIC_LINK_FLAG_DIRECTORY
            : 0;
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && IsLink(link);
}

void RemoveLink(const std::wstring& link) {
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    // A dangling link shows in the listing only; a plain folder or file is left alone.
    const bool dangling = attributes == INVALID_FILE_ATTRIBUTES && Listed(link);
    if (!dangling && !IsLink(link)) return;
    if (const UnixName unixName = WineUnixName()) {
        const size_t slash = link.rfind(L'\\');
        const std::wstring folder = UnixPath(unixName, link.substr(0, slash));
        if (folder.empty()) return;
        RunUnix(L"Z:\\bin\\rm", L"/bin/rm -f \"" + folder + L"/" + link.substr(slash + 1) + L"\"");
        WaitFor(Missing, link, true);
        return;
    }
    if (!::RemoveDirectoryW(link.c_str())) ::DeleteFileW(link.c_str());
}

Canary MakeCanary(const std::wstring& folder) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    Canary canary{folder, folder + L"\\canary.txt"};
    const UniqueFileHandle file(::CreateFileW(canary.file.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.get(), kCanaryText, sizeof kCanaryText - 1, &written, nullptr);
    return canary;
}

bool CanaryUntouched(const Canary& canary) {
    const UniqueFileHandle file(::CreateFileW(canary.file.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    char buffer[64] = {};
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) ||
        got != sizeof kCanaryText - 1 || std::memcmp(buffer, kCanaryText, got) != 0) {
        return false;
    }
    int entries = 0;
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((canary.folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") ++entries;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries == 1;
}

}  // namespace tvx::test
