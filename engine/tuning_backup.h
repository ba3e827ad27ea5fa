// Keeps the values the game-ping tuning overwrites, so that switching it off gives back what the
// user or another program had set instead of deleting it.
//
// Machine-wide store HKLM\SOFTWARE\Tarnivex\TcpBackup, one value per touched registry value,
// named "<key path>\<value name>":
//   Saved   the original type and data, verbatim, of a value that existed before the first apply;
//   Created an empty marker for a value that did not exist before the first apply, or that
//           already held the DWORD 1 apply writes (left by a run that kept no backup).
// and the value Applied (REG_DWORD 1) from an apply until the next revert.
// An entry is written and flushed to disk before its value is overwritten, and never replaced by
// a later apply, so a second START cannot mistake our own 1 for an original, and a kill or a power
// cut at any point leaves a store that the next STOP still reads correctly. A revert that leaves
// nothing in the store removes it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/scoped.h"

namespace tvx {

inline constexpr wchar_t kTarnivexMachineKey[] = L"SOFTWARE\\Tarnivex";
inline constexpr wchar_t kTuningBackupKey[] = L"SOFTWARE\\Tarnivex\\TcpBackup";
inline constexpr wchar_t kSavedSubkey[] = L"Saved";
inline constexpr wchar_t kCreatedSubkey[] = L"Created";
inline constexpr wchar_t kAppliedValue[] = L"Applied";

std::wstring BackupEntryName(std::wstring_view keyPath, std::wstring_view valueName);

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Reads one value whole, whatever its size. Returns the registry's code (ERROR_FILE_NOT_FOUND
// for a missing value).
LSTATUS ReadStoredValue(HKEY key, const wchar_t* valueName, StoredValue& out);

// What a value holds when the store has no entry for it.
enum class CurrentValue {
    Missing,  // key or value absent
    Ours,     // the REG_DWORD 1 that apply writes
    Foreign,  // anything else: set by someone after our STOP, or never touched by us
    Unknown,  // could not be read
};
CurrentValue ClassifyCurrent(LSTATUS readResult, const StoredValue& value);

enum class RevertAction { Restore, Delete, Keep };
// Saved original: put it back. Our marker: delete. No entry: delete only what may be ours (our 1
// left by a run whose store was unusable, or a value that is not there, whose delete failure
// line is the usual report); a foreign value is left alone.
RevertAction DecideRevert(bool saved, bool marked, CurrentValue current);

// Whether apply may overwrite a value, once the store has been flushed.
enum class Overwrite {
    Yes,         // its original is kept already, or there is none to keep
    AfterFlush,  // its original was recorded just now: only once that is on disk
    No,          // its original could not be kept: the value stays as it is
};

// One open of the store per apply or revert.
class TuningBackup {
public:
    enum class Mode { Apply, Revert };
    explicit TuningBackup(Mode mode);

    // Before apply overwrites the value. valueKey is the value's key open for querying, or null
    // when that key does not exist (then the value certainly does not either).
    Overwrite RememberOriginal(HKEY valueKey, std::wstring_view keyPath, const wchar_t* valueName);
    // Notes that game ping is being switched on (cleared by the next revert).
    void MarkApplied();
    // Writes the store to disk; false when that failed (or there is no store).
    bool Flush();

    std::optional<StoredValue> SavedOriginal(const std::wstring& entry) const;
    bool Marked(const std::wstring& entry) const;
    // Drops both kinds of entry once the value is settled.
    void Forget(const std::wstring& entry);
    // The end of a revert: game ping is no longer applied, and a store with no entry left is
    // removed, HKLM\SOFTWARE\Tarnivex too when nothing else is in it.
    void FinishRevert();

    bool available() const { return static_cast<bool>(saved_) && static_cast<bool>(created_); }

private:
    UniqueKey root_;
    UniqueKey saved_;
    UniqueKey created_;
    // Value counts when the store was opened: an empty part needs no lookups, which keeps the
    // usual first START and a STOP without backups as cheap as the plain writes.
    DWORD savedCount_ = 0;
    DWORD createdCount_ = 0;
};

// Whether the machine is in the game-ping state this program left: applied and not reverted
// since, and every value it recorded still holds its 1 (so a start after a crash, a kill or a
// self-update can show STOP instead of pretending game ping is off).
bool GamePingLeftOn();

}  // namespace tvx
