#include "online/connection_state.h"

#include <wininet.h>

#include <atomic>

namespace tvx {
namespace {
std::atomic<ConnectedStateProbe> g_probe{nullptr};
}  // namespace

BOOL IsMachineOnline() {
    if (const auto probe = g_probe.load()) return probe();
    DWORD flags = 0;
    return ::InternetGetConnectedState(&flags, 0);
}

void SetConnectedStateProbe(ConnectedStateProbe probe) { g_probe = probe; }

}  // namespace tvx
