// The process's peak of committed private memory, to show that reading something huge did not
// pile it up.
#pragma once

#include <windows.h>
#include <psapi.h>

namespace tvx::test {

inline SIZE_T PeakPrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage;
}

}  // namespace tvx::test
