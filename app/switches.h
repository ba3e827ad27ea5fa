// The window-less commands of the program; each returns the process's exit code.
#pragma once

namespace tvx {

// Reverts the game-ping values with the backup store and drops the store when it is empty.
// Lines go to standard output, or to the console the program was started from. 0 when every
// value ended restored or removed, 1 otherwise.
int RunRevertCommand();

// Asks the running instance to end as after its exit question was answered Yes, and waits for
// it. 0 when no instance runs any more, 1 otherwise.
int RunExitCommand();

// Removes %ProgramData%\Tarnivex and everything in it without following links: a junction or
// link (the home itself, or anything in it) is removed as itself and its target never entered.
// 0 when the home is gone, 1 when something stayed.
int RunCleanupCommand();

// The setup's step after installing this copy: makes %ProgramData%\Tarnivex now, with the
// setup's rights and before anyone else can make it, then (re)makes the logon task when the
// user's AutoRun option is on or not yet chosen. 0 on success or nothing to do, 1 otherwise.
int RunAutoRunRefreshCommand();

}  // namespace tvx
