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
// backup store, per-user settings, so that no automatic START runs), adds empty interface keys
// of the soak's own up to `interfaces` in all (more values make the writes a larger share of a
// pass, where kills must land) and plants one TcpAckFrequency per kind on the first three
// interface keys: REG_DWORD 2, REG_SZ, REG_BINARY. Returns the game-ping values as STOP must
// leave them; empty with `error` set when that failed.
ValueMap PrepareMachine(int interfaces, std::string& error);
// After a failed check: ends leftover copies and writes the baseline again, without any value or
// store entry of the program's.
void PutBack(const ValueMap& baseline);
// Puts the registry back as it was before the soak: the planted values and the soak's interface
// keys, the program's values and store, and its per-user settings go. Also ends leftover copies
// of the program.
void ClearMachine();

// The span in which a pass wrote: the earliest and latest change, after `since`, of the keys
// that hold the game-ping values and the backup store (their last-write times, FILETIME
// units). {0, 0} when none changed.
struct WriteSpan {
    unsigned long long first = 0;
    unsigned long long last = 0;
};
WriteSpan WritesSince(unsigned long long since);

// One line per difference ("<interface>\TcpAckFrequency: REG_DWORD 1, expected REG_SZ ..."),
// empty when both hold the same values.
std::vector<std::string> Differences(const ValueMap& expected, const ValueMap& actual);
// A short name for reports: the last two parts of the path.
std::string ShortName(const std::wstring& fullName);

}  // namespace tvx::soak
