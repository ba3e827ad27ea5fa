// What the program is asked to do by its command line. A plain start (and the elevated relaunch,
// whose "/uac" is only a marker) runs the window; two switches serve the installer and power
// users without any window.
#pragma once

namespace tvx {

enum class AppCommand {
    RunWindow,
    // Remove the game-ping values (restoring what they replaced) and end.
    Revert,
    // End the running instance the way its tray exit does, without the question.
    Exit,
    // Remove the program's files under ProgramData (the uninstaller's last step).
    Cleanup,
    // The setup's step once the program is in place: make the program's folder and (re)make the
    // logon task when the user's option asks for it.
    AutoRunRefresh,
};

// The first argument decides ("/revert", "/exit", "/cleanup", "/autorun-refresh", any case);
// anything else runs the window.
AppCommand ParseAppCommand(const wchar_t* commandLine);

}  // namespace tvx
