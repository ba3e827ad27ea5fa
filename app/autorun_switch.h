// "/autorun-refresh": the setup's request to (re)make the logon task of the copy it installed.
#pragma once

namespace tvx {

// Whether the command line's first argument is /autorun-refresh (any case).
bool IsAutoRunRefreshCommand(const wchar_t* commandLine);

// Makes the task when the user's AutoRun option is on or not yet chosen; the exit code.
int RunAutoRunRefreshCommand();

}  // namespace tvx
