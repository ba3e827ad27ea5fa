// Ending the running program from outside without its question (the uninstaller and the setup
// do this before they touch its files).
#pragma once

#include <windows.h>

namespace tvx {

// Registered window message. Sent to the main window, it ends the program the way the tray's
// exit command does after a Yes: the game-ping values removed, the icon deleted. Only processes
// with the program's own rights can send it (it is not let through the message filter).
UINT ExitRequestMessage();

}  // namespace tvx
