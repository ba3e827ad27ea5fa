#include "settings/settings_commands.h"

#include <vector>

#include "framework/scoped.h"
#include "settings/settings_store.h"
#include "ui/tarnivex_dlg.h"

namespace tvx {

namespace {
constexpr std::wstring_view kCreateHead = L"schtasks /create /tn \"Tarnivex\" /tr \"\\\"";
constexpr std::wstring_view kCreateTail = L"\\\"\" /sc onlogon /f /rl highest /delay 0000:30";
// Long-path limit of the system's path functions.
constexpr DWORD kMaxPathChars = 32768;
}  // namespace

std::wstring_view SettingText(BOOL on) { return on ? L"true" : L"false"; }

std::wstring BuildTaskCreateCommand(std::wstring_view exePath) {
    std::wstring cmd;
    cmd.reserve(kCreateHead.size() + exePath.size() + kCreateTail.size());
    cmd.append(kCreateHead).append(exePath).append(kCreateTail);
    return cmd;
}

std::wstring TaskCommandFor(BOOL nowOn, std::wstring_view exePath) {
    return nowOn ? BuildTaskCreateCommand(exePath) : std::wstring(kTaskDeleteCommand);
}

LSTATUS StoreSetting(const wchar_t* valueName, BOOL on) {
    UniqueKey key;
    LSTATUS status =
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring_view text = SettingText(on);
    // "true" is 10 bytes and "false" 12: the text and its terminating NUL.
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), valueName, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(std::wstring(text).c_str()), bytes);
}

std::wstring ExecutablePath() {
    // GetModuleFileNameW cuts the path to the buffer and returns the buffer size when it did
    // (with ERROR_INSUFFICIENT_BUFFER), so grow until the whole path fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (n == 0) return {};
        if (n < size) return std::wstring(buffer.data(), n);
        if (size >= kMaxPathChars) return {};
        buffer.resize(size * 2 > kMaxPathChars ? kMaxPathChars : size * 2);
    }
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

}  // namespace tvx

void CTarnivexDlg::OnToggleAutoRun() {
    const BOOL wasOn = m_bAutoRun;
    m_bAutoRun = wasOn ? FALSE : TRUE;
    // The task follows the option even when the value cannot be stored.
    tvx::StoreSetting(tvx::kAutoRunValue, m_bAutoRun);
    const std::wstring exePath = m_bAutoRun ? tvx::ExecutablePath() : std::wstring();
    if (m_bAutoRun && exePath.empty()) return;  // no path to start: a task would be useless
    tvx::RunTaskCommand(tvx::TaskCommandFor(m_bAutoRun, exePath));
}

void CTarnivexDlg::OnToggleAutoPing() {
    m_bAutoPing = m_bAutoPing ? FALSE : TRUE;
    tvx::StoreSetting(tvx::kAutoPingValue, m_bAutoPing);
}

void CTarnivexDlg::OnToggleMemory() {
    m_bMemory = m_bMemory ? FALSE : TRUE;
    tvx::StoreSetting(tvx::kMemoryValue, m_bMemory);
}
