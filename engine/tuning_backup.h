// Keeps the values the game-ping tuning overwrites, so that switching it off gives back what the
// user or another program had set instead of deleting it.
//
// Machine-wide store HKLM\SOFTWARE\Tarnivex\TcpBackup, one value per touched registry value,
// named "<key path>\<value name>":
//   Saved   the original type and data, verbatim, of a value that existed before the first apply;
//   Created an empty marker for a value that did not exist before the first apply, or that
//           already held the DWORD 1 apply writes (left by a run that kept no backup).
// An entry is written before the value is overwritten and never replaced by a later apply, so a
// second START cannot mistake our own 1 for an original, and a kill at any point leaves a store
// that the next STOP still reads correctly.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/scoped.h"

namespace tvx {

inline constexpr wchar_t kTuningBackupKey[] = L"SOFTWARE\\Tarnivex\\TcpBackup";
inline constexpr wchar_t kSavedSubkey[] = L"Saved";
inline constexpr wchar_t kCreatedSubkey[] = L"Created";

std::wstring BackupEntryName(std::wstring_view keyPath, std::wstring_view valueName);

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Reads one value whole, whatever its size. Returns the registry's code (ERROR_FILE_NOT_FOUND
// for a missing value).
LSTATUS ReadStoredValue(HKEY key, const wchar_t* valueName, StoredValue& out);

// What a value holds at STOP when the store has no entry for it.
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

// One open of the store per apply or revert; every call is a no-op when the store cannot be
// opened, so a broken backup never stops the tuning itself.
class TuningBackup {
public:
    enum class Mode { Apply, Revert };
    explicit TuningBackup(Mode mode);

    // Before apply overwrites the value. valueKey is the value's key open for querying, or null
    // when that key does not exist (then the value certainly does not either).
    void RememberOriginal(HKEY valueKey, std::wstring_view keyPath, const wchar_t* valueName);

    std::optional<StoredValue> SavedOriginal(const std::wstring& entry) const;
    bool Marked(const std::wstring& entry) const;
    // Drops both kinds of entry once the value is settled.
    void Forget(const std::wstring& entry);

    bool available() const { return static_cast<bool>(saved_) && static_cast<bool>(created_); }

private:
    UniqueKey saved_;
    UniqueKey created_;
    // Value counts when the store was opened: an empty part needs no lookups, which keeps the
    // usual first START and a STOP without backups as cheap as the plain writes.
    DWORD savedCount_ = 0;
    DWORD createdCount_ = 0;
};

}  // namespace tvx
