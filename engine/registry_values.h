// Setting and deleting one game-ping value under HKEY_LOCAL_MACHINE, opening and closing the key
// around the one change and printing one result line on standard output.
#pragma once

#include <windows.h>

namespace tvx {

// HKLM: creates the key when missing and sets the value to the REG_DWORD 1.
bool SetRegistryDword(const wchar_t* keyPath, const wchar_t* valueName);
// HKLM: the key must exist; deletes the value.
bool DeleteRegistryValue(const wchar_t* keyPath, const wchar_t* valueName);

// The registry calls that keep a user's value safe (and the walk that finds the values), which
// tests make fail on demand.
enum class RegistryCall {
    SaveOriginal,         // the write of a value's original into the backup store
    FlushBackup,          // the flush of the backup store to disk
    SetValue,             // the write of a game-ping value itself
    EnumerateInterfaces,  // each step of the walk over the interface keys
};
// Answers ERROR_SUCCESS to let the call go ahead, or the code it is to fail with instead.
using RegistryFault = LSTATUS (*)(RegistryCall call);
// For tests only, set in their own process (the program never sets it); null lets every call go
// ahead. Set it while no apply or revert runs.
void SetRegistryFaultForTests(RegistryFault fault);
// ERROR_SUCCESS, or the failure a test asked for: asked right before each of those calls.
LSTATUS InjectedRegistryFault(RegistryCall call);

}  // namespace tvx
