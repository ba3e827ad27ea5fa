// Restarting the network connections through the system's connection manager: every connected
// connection is taken down and, three seconds later, brought up again; every disconnected one is
// brought up. Connections are handled one after another.
#pragma once

#include <windows.h>

namespace tvx {

inline constexpr DWORD kReconnectPauseMs = 3000;

// Runs in a single-threaded apartment of its own; every failure is silent.
void RestartNetworkConnections();

}  // namespace tvx
