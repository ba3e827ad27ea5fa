#include "engine/tuning_backup.h"

#include <cstring>

#include "engine/registry_values.h"

namespace tvx {

namespace {

constexpr REGSAM kStoreAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

UniqueKey OpenStore(HKEY backup, const wchar_t* name, TuningBackup::Mode mode, DWORD& count) {
    UniqueKey store;
    LSTATUS rc;
    if (mode == TuningBackup::Mode::Apply) {
        rc = ::RegCreateKeyExW(backup, name, 0, nullptr, REG_OPTION_NON_VOLATILE, kStoreAccess,
                               nullptr, store.put(), nullptr);
    } else {
        rc = ::RegOpenKeyExW(backup, name, 0, kStoreAccess, store.put());
    }
    if (rc != ERROR_SUCCESS) return {};
    count = 0;
    if (::RegQueryInfoKeyW(store.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        count = MAXDWORD;  // unknown: look every entry up
    }
    return store;
}

bool HasEntry(HKEY store, DWORD count, const std::wstring& entry) {
    if (!store || count == 0) return false;
    return ::RegQueryValueExW(store, entry.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

DWORD ValueCount(HKEY key) {
    DWORD count = 0;
    if (!key || ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return MAXDWORD;
    }
    return count;
}

// Deletes an empty key (no values, no subkeys) of HKLM; anything else stays.
void DeleteIfEmpty(const wchar_t* path) {
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return;
    }
    DWORD subkeys = 0, values = 0;
    if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                           &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0 || values != 0) {
        return;
    }
    key.reset();
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
}

bool FlushStore(HKEY store) {
    LSTATUS rc = InjectedRegistryFault(RegistryCall::FlushBackup);
    if (rc == ERROR_SUCCESS) rc = ::RegFlushKey(store);
    return rc == ERROR_SUCCESS;
}

}  // namespace

std::wstring BackupEntryName(std::wstring_view keyPath, std::wstring_view valueName) {
    std::wstring name(keyPath);
    name += L'\\';
    name += valueName;
    return name;
}

LSTATUS ReadStoredValue(HKEY key, const wchar_t* valueName, StoredValue& out) {
    // The value may grow between the size query and the read (another writer): ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LSTATUS rc = ::RegQueryValueExW(key, valueName, nullptr, &out.type, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        out.data.resize(size);
        rc = ::RegQueryValueExW(key, valueName, nullptr, &out.type,
                                size ? out.data.data() : nullptr, &size);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return rc;
        out.data.resize(size);
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

CurrentValue ClassifyCurrent(LSTATUS readResult, const StoredValue& value) {
    if (readResult == ERROR_FILE_NOT_FOUND) return CurrentValue::Missing;
    if (readResult != ERROR_SUCCESS) return CurrentValue::Unknown;
    DWORD number = 0;
    if (value.type != REG_DWORD || value.data.size() != sizeof number) return CurrentValue::Foreign;
    std::memcpy(&number, value.data.data(), sizeof number);
    return number == 1 ? CurrentValue::Ours : CurrentValue::Foreign;
}

RevertAction DecideRevert(bool saved, bool marked, CurrentValue current) {
    if (saved) return RevertAction::Restore;
    if (marked) return RevertAction::Delete;
    return current == CurrentValue::Foreign ? RevertAction::Keep : RevertAction::Delete;
}

TuningBackup::TuningBackup(Mode mode) {
    // Native view, like the tuned values themselves.
    const LSTATUS rc =
        mode == Mode::Apply
            ? ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTuningBackupKey, 0, nullptr,
                                REG_OPTION_NON_VOLATILE,
                                KEY_CREATE_SUB_KEY | KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr,
                                root_.put(), nullptr)
            : ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTuningBackupKey, 0,
                              KEY_ENUMERATE_SUB_KEYS | KEY_SET_VALUE | KEY_QUERY_VALUE,
                              root_.put());
    if (rc != ERROR_SUCCESS) return;
    saved_ = OpenStore(root_.get(), kSavedSubkey, mode, savedCount_);
    created_ = OpenStore(root_.get(), kCreatedSubkey, mode, createdCount_);
    // Apply records into either part and must see both, or it could take our own 1 for an
    // original; revert uses each part on its own.
    if (mode == Mode::Apply && !available()) {
        saved_.reset();
        created_.reset();
    }
}

Overwrite TuningBackup::RememberOriginal(HKEY valueKey, std::wstring_view keyPath,
                                         const wchar_t* valueName) {
    const std::wstring entry = BackupEntryName(keyPath, valueName);
    // Already recorded by an earlier apply: whatever the value holds now is ours.
    if (available() && (HasEntry(saved_.get(), savedCount_, entry) ||
                        HasEntry(created_.get(), createdCount_, entry))) {
        return Overwrite::Yes;
    }
    StoredValue original;
    const LSTATUS rc =
        valueKey != nullptr ? ReadStoredValue(valueKey, valueName, original) : ERROR_FILE_NOT_FOUND;
    const CurrentValue current = ClassifyCurrent(rc, original);
    // Nothing is known about the original: overwriting it could lose it for good.
    if (current == CurrentValue::Unknown) return Overwrite::No;
    if (!available()) {
        // No backup can be kept: only a value with nothing to lose may be written. A DWORD 1 with
        // no record counts as ours at STOP, so a value created now is still removed then.
        return current == CurrentValue::Foreign ? Overwrite::No : Overwrite::Yes;
    }
    if (current == CurrentValue::Foreign) {
        LSTATUS saved = InjectedRegistryFault(RegistryCall::SaveOriginal);
        if (saved == ERROR_SUCCESS) {
            saved = ::RegSetValueExW(saved_.get(), entry.c_str(), 0, original.type,
                                     original.data.empty() ? nullptr : original.data.data(),
                                     static_cast<DWORD>(original.data.size()));
        }
        if (saved != ERROR_SUCCESS) return Overwrite::No;
        ++savedCount_;
        return Overwrite::AfterFlush;
    }
    // Missing, or a DWORD 1 with no record: the 1 of an earlier run that kept no backup (an older
    // version, or a store that could not be written). Saving it as an original would make every
    // STOP put it back and leave game ping on for good, so it counts as ours. The marker is a
    // courtesy: without it the 1 still counts as ours at STOP.
    if (::RegSetValueExW(created_.get(), entry.c_str(), 0, REG_NONE, nullptr, 0) == ERROR_SUCCESS) {
        ++createdCount_;
    }
    return Overwrite::Yes;
}

void TuningBackup::MarkApplied() {
    if (!root_) return;
    const DWORD one = 1;
    ::RegSetValueExW(root_.get(), kAppliedValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                     sizeof one);
}

bool TuningBackup::Flush() {
    if (!available()) return false;
    // The store lives in the SOFTWARE hive and the values in SYSTEM: each hive is written back on
    // its own schedule, so without this a power cut could keep a 1 and lose its original.
    bool ok = FlushStore(saved_.get());
    ok = FlushStore(created_.get()) && ok;
    return ok;
}

std::optional<StoredValue> TuningBackup::SavedOriginal(const std::wstring& entry) const {
    if (!saved_ || savedCount_ == 0) return std::nullopt;
    StoredValue original;
    if (ReadStoredValue(saved_.get(), entry.c_str(), original) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return original;
}

bool TuningBackup::Marked(const std::wstring& entry) const {
    return HasEntry(created_.get(), createdCount_, entry);
}

void TuningBackup::Forget(const std::wstring& entry) {
    if (saved_ && savedCount_ != 0) ::RegDeleteValueW(saved_.get(), entry.c_str());
    if (created_ && createdCount_ != 0) ::RegDeleteValueW(created_.get(), entry.c_str());
}

void TuningBackup::FinishRevert() {
    if (!root_) return;
    ::RegDeleteValueW(root_.get(), kAppliedValue);
    const bool savedEmpty = !saved_ || ValueCount(saved_.get()) == 0;
    const bool createdEmpty = !created_ || ValueCount(created_.get()) == 0;
    saved_.reset();
    created_.reset();
    root_.reset();
    if (!savedEmpty || !createdEmpty) return;  // an original still waits for a later STOP
    const std::wstring saved = BackupEntryName(kTuningBackupKey, kSavedSubkey);
    const std::wstring created = BackupEntryName(kTuningBackupKey, kCreatedSubkey);
    DeleteIfEmpty(saved.c_str());
    DeleteIfEmpty(created.c_str());
    DeleteIfEmpty(kTuningBackupKey);
    DeleteIfEmpty(kTarnivexMachineKey);
}

bool GamePingLeftOn() {
    UniqueKey root;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTuningBackupKey, 0, KEY_QUERY_VALUE, root.put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD applied = 0, size = sizeof applied, type = 0;
    if (::RegQueryValueExW(root.get(), kAppliedValue, nullptr, &type,
                           reinterpret_cast<BYTE*>(&applied), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || applied != 1) {
        return false;
    }
    size_t entries = 0;
    for (const wchar_t* part : {kSavedSubkey, kCreatedSubkey}) {
        UniqueKey store;
        if (::RegOpenKeyExW(root.get(), part, 0, KEY_QUERY_VALUE, store.put()) != ERROR_SUCCESS) {
            continue;
        }
        wchar_t name[16384];
        for (DWORD index = 0;; ++index) {
            DWORD length = static_cast<DWORD>(std::size(name));
            const LSTATUS rc = ::RegEnumValueW(store.get(), index, name, &length, nullptr, nullptr,
                                               nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS) return false;
            // "<key path>\<value name>": the value's name is what follows the last backslash.
            const std::wstring entry(name, length);
            const size_t slash = entry.rfind(L'\\');
            if (slash == std::wstring::npos) return false;
            UniqueKey key;
            StoredValue current;
            const std::wstring keyPath = entry.substr(0, slash);
            const std::wstring valueName = entry.substr(slash + 1);
            const LSTATUS opened =
                ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put());
            const LSTATUS read = opened == ERROR_SUCCESS
                                     ? ReadStoredValue(key.get(), valueName.c_str(), current)
                                     : opened;
            if (ClassifyCurrent(read, current) != CurrentValue::Ours) return false;
            ++entries;
        }
    }
    return entries > 0;
}

}  // namespace tvx
