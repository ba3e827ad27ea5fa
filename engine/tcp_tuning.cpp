#include "engine/tcp_tuning.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "engine/registry_values.h"
#include "engine/tuning_backup.h"
#include "framework/scoped.h"

namespace tvx {

namespace {

// A START and a STOP worker, or a worker and the exit command, may run at once. Each holds this
// for its whole walk so the backup store sees one operation at a time; the values end up as the
// later operation leaves them, as they would with the two interleaved.
std::mutex& TuningLock() {
    static std::mutex lock;
    return lock;
}

// Calls visit(readableKey, fullPath) for every interface subkey that opens for reading, in
// enumeration order. The open is the accessibility test; the handle is only lent for the visit.
template <typename Visit>
void ForEachInterface(Visit visit) {
    UniqueKey interfaces;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInterfacesKey, 0, KEY_READ, interfaces.put()) !=
        ERROR_SUCCESS) {
        return;
    }
    const std::wstring prefix = std::wstring(kInterfacesKey) + L'\\';
    wchar_t name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD size = MAX_PATH;
        const LSTATUS rc = ::RegEnumKeyExW(interfaces.get(), index, name, &size, nullptr, nullptr,
                                           nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        UniqueKey sub;
        if (::RegOpenKeyExW(interfaces.get(), name, 0, KEY_READ, sub.put()) != ERROR_SUCCESS) {
            continue;
        }
        visit(sub.get(), prefix + std::wstring(name, size));
    }
}

void ApplyValue(TuningBackup& backup, HKEY valueKey, const std::wstring& keyPath,
                const wchar_t* valueName) {
    backup.RememberOriginal(valueKey, keyPath, valueName);
    SetRegistryDword(keyPath.c_str(), valueName);
}

void RevertValue(TuningBackup& backup, const std::wstring& keyPath, const wchar_t* valueName) {
    if (backup.RestoreOriginal(keyPath, valueName) != TuningBackup::Restore::NothingSaved) return;
    const bool deleted = DeleteRegistryValue(keyPath.c_str(), valueName);
    backup.ForgetCreated(keyPath, valueName, deleted);
}

}  // namespace

void ApplyTcpTuning() {
    std::lock_guard<std::mutex> guard(TuningLock());
    TuningBackup backup(TuningBackup::Mode::Apply);
    const std::wstring msmq = kMsmqKey;
    {
        UniqueKey key;
        if (backup.available()) {
            const LSTATUS rc =
                ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMsmqKey, 0, KEY_QUERY_VALUE, key.put());
            // A missing key means a missing value; any other failure leaves the original unknown.
            if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
                backup.RememberOriginal(key.get(), msmq, kNoDelayValue);
            }
        }
    }
    SetRegistryDword(kMsmqKey, kNoDelayValue);
    ForEachInterface([&](HKEY sub, const std::wstring& path) {
        ApplyValue(backup, sub, path, kAckFrequencyValue);
    });
}

void RevertTcpTuning() {
    std::lock_guard<std::mutex> guard(TuningLock());
    TuningBackup backup(TuningBackup::Mode::Revert);
    RevertValue(backup, kMsmqKey, kNoDelayValue);
    ForEachInterface(
        [&](HKEY, const std::wstring& path) { RevertValue(backup, path, kAckFrequencyValue); });
}

}  // namespace tvx
