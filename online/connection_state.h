// Whether the machine is online, as the start-up timer asks it on every tick.
#pragma once

#include <windows.h>

namespace tvx {

// InternetGetConnectedState unless a probe was installed.
BOOL IsMachineOnline();

// Replaces the system's answer; null restores it. Wine always answers "online", so this is how
// tests reach the offline path.
using ConnectedStateProbe = BOOL (*)();
void SetConnectedStateProbe(ConnectedStateProbe probe);

}  // namespace tvx
