#include "settings/settings_commands.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "framework/log_file.h"
#include "framework/scoped.h"
#include "framework/user_text.h"
#include "settings/installed_copy.h"
#include "settings/settings_store.h"
#include "settings/task_definition.h"
#include "settings/task_file.h"

namespace tvx {

namespace {

// The SID of the user this process runs for, as text; empty when the token cannot be read.
std::wstring CurrentUserSid() {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return {};
    }
    std::wstring sid(text);
    ::LocalFree(text);
    return sid;
}

// How a run of schtasks went, for the log: its exit code, a wait that ran out, or no start.
std::wstring Outcome(const TaskToolRun& run) {
    if (!run.started) return L"schtasks 시작 실패";
    if (!run.ended) return L"schtasks 응답 시간 초과";
    return L"schtasks 종료 코드 " + std::to_wstring(run.exitCode);
}

}  // namespace

std::wstring_view SettingText(BOOL on) { return on ? L"true" : L"false"; }

std::wstring BuildTaskCreateCommand(std::wstring_view xmlPath) {
    return L"schtasks /create /tn \"Tarnivex\" /xml \"" + std::wstring(xmlPath) + L"\" /f";
}

bool StoreSetting(const wchar_t* valueName, BOOL on) {
    // "true" is 10 bytes and "false" 12: the text and its terminating NUL.
    return SetRegistryString(kSettingsKey, valueName, std::wstring(SettingText(on)).c_str());
}

TaskToolRun RunTaskCommand(const std::wstring& commandLine, DWORD waitMs) {
    TaskToolRun run;
    // The tool is taken from the system folder, never from the program's own folder or the
    // current directory, where the default search would look first.
    wchar_t systemDir[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(systemDir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return run;
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
        return run;
    }
    run.started = true;
    ::CloseHandle(pi.hThread);
    const UniqueHandle process(pi.hProcess);
    // A tool that hangs is left to end by itself; the command counts as failed.
    if (::WaitForSingleObject(process.get(), waitMs) != WAIT_OBJECT_0) return run;
    run.ended = ::GetExitCodeProcess(process.get(), &run.exitCode) != FALSE;
    return run;
}

bool CreateLogonTask(const std::wstring& exePath) {
    const std::wstring user = CurrentUserSid();
    if (user.empty()) {
        AppendLogLine(L"자동 실행 작업을 만들지 못했습니다: 사용자를 알 수 없습니다.\n");
        return false;
    }
    TaskToolRun run;
    {
        const TaskDefinitionFile definition =
            TaskDefinitionFile::Write(TaskXmlFileBytes(BuildTaskXml(user, exePath)));
        if (!definition) {
            AppendLogLine(
                L"자동 실행 작업을 만들지 못했습니다: 작업 정의 파일을 쓰지 못했습니다.\n");
            return false;
        }
        run = RunTaskCommand(BuildTaskCreateCommand(definition.path()));
    }  // the definition file is removed here
    if (!run.ok()) {
        AppendLogLine(L"자동 실행 작업을 만들지 못했습니다: " + Outcome(run) + L"\n");
        return false;
    }
    return true;
}

bool DeleteLogonTask() {
    const TaskToolRun run = RunTaskCommand(kTaskDeleteCommand);
    if (run.ok()) return true;
    // schtasks says "not found" with the same code as any other failure: a task that a query
    // cannot find either was never there, which is what deleting it asked for.
    if (run.started && run.ended) {
        const TaskToolRun query = RunTaskCommand(kTaskQueryCommand);
        if (query.started && query.ended && query.exitCode != 0) return true;
    }
    AppendLogLine(L"자동 실행 작업을 삭제하지 못했습니다: " + Outcome(run) + L"\n");
    return false;
}

BOOL ToggleOption(const wchar_t* valueName, BOOL wasOn) {
    const BOOL nowOn = wasOn ? FALSE : TRUE;
    StoreSetting(valueName, nowOn);
    return nowOn;
}

AutoRunToggle ToggleAutoRun(BOOL wasOn, const std::wstring& exePath) {
    AutoRunToggle result;
    if (wasOn) {
        // The task follows the option even when the value cannot be stored. The value is
        // written once schtasks has answered, so whoever reads it sees a finished command.
        result.deleteFailed = !DeleteLogonTask();
        StoreSetting(kAutoRunValue, FALSE);
        return result;
    }
    if (!IsInstalledCopy(exePath)) {
        StoreSetting(kAutoRunValue, FALSE);
        result.needsInstalledCopy = true;
        return result;
    }
    if (!CreateLogonTask(exePath)) {
        StoreSetting(kAutoRunValue, FALSE);
        result.createFailed = true;
        return result;
    }
    StoreSetting(kAutoRunValue, TRUE);
    result.nowOn = TRUE;
    return result;
}

AutoRunMessage AutoRunToggleMessage(const AutoRunToggle& toggle) {
    if (toggle.needsInstalledCopy) {
        return {L"윈도우 실행시 프로그램 자동실행은 설치된 프로그램에서만 사용할 수 있습니다.",
                MB_ICONINFORMATION};
    }
    if (toggle.createFailed) return {L"자동 실행 작업을 만들지 못했습니다.", MB_ICONWARNING};
    if (toggle.deleteFailed) return {L"자동 실행 작업을 삭제하지 못했습니다.", MB_ICONWARNING};
    return {};
}

BOOL AutoRunShown(BOOL stored, const std::wstring& exePath) {
    return stored && IsInstalledCopy(exePath) ? TRUE : FALSE;
}

int RefreshAutoRunTask(const std::wstring& exePath) {
    if (!LoadSettings().autoRun) return 0;
    if (!IsInstalledCopy(exePath)) {
        AppendLogLine(L"자동 실행 작업을 만들지 않았습니다: 설치된 프로그램이 아닙니다.\n");
        return 1;
    }
    const bool made = CreateLogonTask(exePath);
    StoreSetting(kAutoRunValue, made ? TRUE : FALSE);
    return made ? 0 : 1;
}

}  // namespace tvx
