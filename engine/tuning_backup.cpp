#include "engine/tuning_backup.h"

#include <cstring>

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
    UniqueKey backup;
    // Native view, like the tuned values themselves.
    const LSTATUS rc = mode == Mode::Apply
                           ? ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTuningBackupKey, 0, nullptr,
                                               REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY, nullptr,
                                               backup.put(), nullptr)
                           : ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTuningBackupKey, 0,
                                             KEY_ENUMERATE_SUB_KEYS, backup.put());
    if (rc != ERROR_SUCCESS) return;
    saved_ = OpenStore(backup.get(), kSavedSubkey, mode, savedCount_);
    created_ = OpenStore(backup.get(), kCreatedSubkey, mode, createdCount_);
    // Apply records into either part and must see both, or it could take our own 1 for an
    // original; revert uses each part on its own.
    if (mode == Mode::Apply && !available()) {
        saved_.reset();
        created_.reset();
    }
}

void TuningBackup::RememberOriginal(HKEY valueKey, std::wstring_view keyPath,
                                    const wchar_t* valueName) {
    if (!available()) return;
    const std::wstring entry = BackupEntryName(keyPath, valueName);
    // Already recorded by an earlier apply: whatever the value holds now is ours.
    if (HasEntry(saved_.get(), savedCount_, entry) ||
        HasEntry(created_.get(), createdCount_, entry)) {
        return;
    }
    StoredValue original;
    const LSTATUS rc =
        valueKey != nullptr ? ReadStoredValue(valueKey, valueName, original) : ERROR_FILE_NOT_FOUND;
    // A DWORD 1 with no record is the 1 of an earlier run that kept no backup (an older version,
    // or a store that could not be written). Saving it as an original would make every STOP put
    // it back and leave game ping on for good, so it counts as ours, like at STOP.
    if (rc == ERROR_SUCCESS && ClassifyCurrent(rc, original) != CurrentValue::Ours) {
        ::RegSetValueExW(saved_.get(), entry.c_str(), 0, original.type,
                         original.data.empty() ? nullptr : original.data.data(),
                         static_cast<DWORD>(original.data.size()));
    } else if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
        ::RegSetValueExW(created_.get(), entry.c_str(), 0, REG_NONE, nullptr, 0);
    }
    // Any other failure to read: nothing is known about the original, so nothing is recorded.
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

}  // namespace tvx
