#include "settings/settings_commands.h"

#include <windows.h>
#include <knownfolders.h>

#include <vector>

#include "framework/known_folder.h"
#include "framework/user_text.h"
#include "settings/settings_store.h"

namespace tvx {

namespace {
constexpr std::wstring_view kCreateHead = L"schtasks /create /tn \"Tarnivex\" /tr \"\\\"";
constexpr std::wstring_view kCreateTail = L"\\\"\" /sc onlogon /f /rl highest /delay 0000:30";

// The long form of a path (8.3 names expanded), or the path itself when it cannot be had.
std::wstring LongPath(const std::wstring& path) {
    const DWORD needed = ::GetLongPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return path;
    std::wstring out(needed, L'\0');
    const DWORD n = ::GetLongPathNameW(path.c_str(), out.data(), needed);
    if (n == 0 || n >= needed) return path;
    out.resize(n);
    return out;
}
}  // namespace

std::wstring_view SettingText(BOOL on) { return on ? L"true" : L"false"; }

std::wstring BuildTaskCreateCommand(std::wstring_view exePath) {
    std::wstring cmd;
    cmd.reserve(kCreateHead.size() + exePath.size() + kCreateTail.size());
    cmd.append(kCreateHead).append(exePath).append(kCreateTail);
    return cmd;
}

bool StoreSetting(const wchar_t* valueName, BOOL on) {
    // "true" is 10 bytes and "false" 12: the text and its terminating NUL.
    return SetRegistryString(kSettingsKey, valueName, std::wstring(SettingText(on)).c_str());
}

bool RunTaskCommand(const std::wstring& commandLine) {
    // The tool is taken from the system folder, never from the program's own folder or the
    // current directory, where the default search would look first.
    wchar_t systemDir[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(systemDir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    const std::wstring application = std::wstring(systemDir, n) + L"\\schtasks.exe";

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    if (!::CreateProcessW(application.c_str(), cmd.data(), nullptr, nullptr, FALSE,
                          CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        return false;
    }
    // Not waited for: the task tool runs on its own.
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

BOOL ToggleOption(const wchar_t* valueName, BOOL wasOn) {
    const BOOL nowOn = wasOn ? FALSE : TRUE;
    StoreSetting(valueName, nowOn);
    return nowOn;
}

bool IsInsideFolder(std::wstring_view path, std::wstring_view folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.remove_suffix(1);
    }
    if (folder.empty() || path.size() <= folder.size() + 1) return false;
    if (path[folder.size()] != L'\\') return false;
    // Nothing may climb back out of the folder.
    if (path.find(L"\\..\\") != std::wstring_view::npos ||
        path.find(L'/') != std::wstring_view::npos) {
        return false;
    }
    return ::CompareStringOrdinal(path.data(), static_cast<int>(folder.size()), folder.data(),
                                  static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

std::wstring ProgramFilesFolder() { return KnownFolderPath(FOLDERID_ProgramFiles); }

AutoRunToggle ToggleAutoRun(BOOL wasOn, const std::wstring& exePath,
                            const std::wstring& programFiles) {
    if (wasOn) {
        // The task follows the option even when the value cannot be stored.
        StoreSetting(kAutoRunValue, FALSE);
        RunTaskCommand(kTaskDeleteCommand);
        return {FALSE, false};
    }
    if (exePath.empty() || programFiles.empty() ||
        !IsInsideFolder(LongPath(exePath), LongPath(programFiles))) {
        StoreSetting(kAutoRunValue, FALSE);
        return {FALSE, true};
    }
    StoreSetting(kAutoRunValue, TRUE);
    RunTaskCommand(BuildTaskCreateCommand(exePath));
    return {TRUE, false};
}

}  // namespace tvx
