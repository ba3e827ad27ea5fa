#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>

namespace tvx {

AppCommand ParseAppCommand(const wchar_t* commandLine) {
    if (!commandLine || !*commandLine) return AppCommand::RunWindow;
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(commandLine, &count);
    if (!args) return AppCommand::RunWindow;
    AppCommand command = AppCommand::RunWindow;
    if (count >= 2) {
        if (::lstrcmpiW(args[1], L"/revert") == 0) command = AppCommand::Revert;
        if (::lstrcmpiW(args[1], L"/exit") == 0) command = AppCommand::Exit;
        if (::lstrcmpiW(args[1], L"/cleanup") == 0) command = AppCommand::Cleanup;
        if (::lstrcmpiW(args[1], L"/autorun-refresh") == 0) command = AppCommand::AutoRunRefresh;
    }
    ::LocalFree(args);
    return command;
}

}  // namespace tvx
