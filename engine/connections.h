// Restarting the network connections through the system's connection manager: every connected
// connection is taken down and, three seconds later, brought up again; every disconnected one is
// brought up. Connections are handled one after another.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

namespace tvx {

inline constexpr DWORD kReconnectPauseMs = 3000;

// Shared between a restart and whoever may end the program while it runs.
struct RestartWatch {
    // Asked before each connection: once it says the program is ending, the restart takes no
    // further connection down (and touches none); one it has taken down is always brought up.
    std::function<bool()> ending;
    // Connections handed out by the enumeration so far; how long the restart may still need
    // follows from it.
    std::atomic<unsigned> connections{0};
};

// Runs in a single-threaded apartment of its own; every failure is silent.
void RestartNetworkConnections(RestartWatch* watch = nullptr);

}  // namespace tvx
