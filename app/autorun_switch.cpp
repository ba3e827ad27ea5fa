#include "app/autorun_switch.h"

#include <windows.h>
#include <shellapi.h>

#include "framework/executable_path.h"
#include "settings/settings_commands.h"

namespace tvx {

bool IsAutoRunRefreshCommand(const wchar_t* commandLine) {
    if (!commandLine || !*commandLine) return false;
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(commandLine, &count);
    if (!args) return false;
    const bool refresh = count >= 2 && ::lstrcmpiW(args[1], L"/autorun-refresh") == 0;
    ::LocalFree(args);
    return refresh;
}

int RunAutoRunRefreshCommand() { return RefreshAutoRunTask(ExecutablePath()); }

}  // namespace tvx
