// Waiting on the user-interface thread without freezing it.
#pragma once

#include <windows.h>

namespace tvx {

// Waits until the object is signalled or the time is up, dispatching the thread's messages
// meanwhile, so that its windows (and the tray icon's owner) keep answering. True when the object
// was signalled. The caller must be ready for any of its handlers to run during the wait.
bool WaitPumpingMessages(HANDLE object, DWORD timeoutMs);

}  // namespace tvx
