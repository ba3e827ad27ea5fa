// What a process holds, as far as the system answers: its handles (also by type of object),
// GDI and USER objects, and threads.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace tvx::soak {

struct Figure {
    bool answered = false;
    DWORD value = 0;
    DWORD error = 0;  // when not answered
};
struct LeakFigures {
    Figure handles;                          // GetProcessHandleCount
    Figure handleList;                       // the system's handle list (NtQuerySystemInformation)
    std::map<std::string, int> handleTypes;  // that list's handles by type of object
    Figure gdi, user;                        // GetGuiResources
    Figure threads;                          // toolhelp
};
// Reads every figure of the process, opened with PROCESS_QUERY_INFORMATION and
// PROCESS_DUP_HANDLE (for the types of its handles).
LeakFigures Measure(HANDLE process, DWORD pid);

// Registry keys that one activation of a runtime class leaves open in the calling process, found
// by activating the toast stand-in's manager class here (Wine's activation keeps one per call).
double KeysPerActivation();

}  // namespace tvx::soak
