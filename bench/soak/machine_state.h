// The registry as the soak sees it: the game-ping values, the pre-existing values planted
// before the run (one of each kind the program must give back), and the program's backup store.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/registry_test_util.h"

namespace tvx::soak {

// "<key path>\<value name>" under HKLM -> the value; a missing value has no entry.
using ValueMap = std::map<std::wstring, test::RegValue>;

// Every game-ping value's full name: TCPNoDelay under MSMQ, TcpAckFrequency under each interface
// key that exists now.
std::vector<std::wstring> GamePingNames();
// Those values as they stand.
ValueMap ReadGamePingValues();
// Every game-ping value holds the DWORD 1 (and there is at least one interface key).
bool AllOn(const ValueMap& values);

enum class StoreState { Gone, Empty, Holding };
struct Store {
    StoreState state = StoreState::Gone;
    ValueMap values;  // every value under HKLM\SOFTWARE\Tarnivex, any depth
};
Store ReadStore();
const char* StoreStateName(StoreState state);

// Ends leftover copies of the program, clears what it or an earlier run left (game-ping values,
// backup store, per-user settings, so that no automatic START runs) and plants one TcpAckFrequency
// per kind on the first three interface keys: REG_DWORD 2, REG_SZ, REG_BINARY. Returns the
// game-ping values as START must leave them again; empty with `error` set when the prefix has
// fewer than three interface keys.
ValueMap PrepareMachine(std::string& error);
// Puts the registry back as it was before the soak: the planted values, the program's values
// and store, and its per-user settings go. Also ends leftover copies of the program.
void ClearMachine();

// One line per difference ("<interface>\TcpAckFrequency: REG_DWORD 1, expected REG_SZ ..."),
// empty when both hold the same values.
std::vector<std::string> Differences(const ValueMap& expected, const ValueMap& actual);
// A short name for reports: the last two parts of the path.
std::string ShortName(const std::wstring& fullName);

}  // namespace tvx::soak
