#include "engine/tcp_tuning.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/registry_values.h"
#include "engine/report_line.h"
#include "engine/result_lines.h"
#include "engine/tuning_backup.h"
#include "framework/scoped.h"

namespace tvx {

namespace {

// A START and a STOP worker, or a worker and the exit command, may run at once. Each holds this
// for its whole walk so the backup store sees one operation at a time; the values end up as the
// later operation leaves them, as they would with the two interleaved.
// Never destroyed: a worker the process did not wait for may still hold it while the process's
// static objects are torn down.
std::mutex& InProcessLock() {
    static std::mutex& lock = *new std::mutex;
    return lock;
}

// After this many failed enumerations the walk gives up: a persistent error (the interfaces key
// deleted under the walk answers ERROR_KEY_DELETED at every index, never "no more items") would
// otherwise loop for ever while holding the tuning lock, and the program's exit with it.
constexpr unsigned kMaxFailedEnumerations = 32;

// The same rule across processes: a /revert (the uninstaller's, or a user's) while the window's
// pass writes. Only Administrators and SYSTEM may open the mutex, so an unelevated program can
// neither hold it to stall the tuning nor release it to let two walks interleave. A mutex of
// that name made by anyone else (its owner shows it) is not trusted: the lock is then not had.
class TuningLock {
public:
    TuningLock() : local_(InProcessLock()), mutex_(CreateTuningMutex()) {
        if (!mutex_ || !OwnedByAdministrators(mutex_.get())) return;
        const DWORD waited = ::WaitForSingleObject(mutex_.get(), kTuningLockWaitMs);
        // Abandoned: its holder ended part-way; the backup store is written so that the next
        // walk finishes the job, so the lock is ours all the same.
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~TuningLock() {
        if (held_) ::ReleaseMutex(mutex_.get());
    }
    TuningLock(const TuningLock&) = delete;
    TuningLock& operator=(const TuningLock&) = delete;
    bool held() const { return held_; }

private:
    static bool OwnedByAdministrators(HANDLE object) {
        PSID owner = nullptr;
        PSECURITY_DESCRIPTOR sd = nullptr;
        if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                              nullptr, nullptr, &sd) != ERROR_SUCCESS) {
            return false;
        }
        const bool ours = owner && (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                    ::IsWellKnownSid(owner, WinLocalSystemSid));
        ::LocalFree(sd);
        return ours;
    }

    std::lock_guard<std::mutex> local_;
    UniqueHandle mutex_;
    bool held_ = false;
};

// What apply and revert do when the lock stayed with another copy.
TuningOutcome Busy() {
    ReportLine(TuningBusyLine());
    return TuningOutcome{1};
}

// Calls visit(readableKey, fullPath) for every interface subkey that opens for reading, in
// enumeration order. The open is the accessibility test; the handle is only lent for the visit.
// False when the walk gave up before the end of the subkeys (reported with the last error).
template <typename Visit>
bool ForEachInterface(Visit visit) {
    UniqueKey interfaces;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInterfacesKey, 0, KEY_READ, interfaces.put()) !=
        ERROR_SUCCESS) {
        return true;
    }
    const std::wstring prefix = std::wstring(kInterfacesKey) + L'\\';
    wchar_t name[MAX_PATH];
    unsigned failed = 0;
    for (DWORD index = 0;; ++index) {
        DWORD size = MAX_PATH;
        LSTATUS rc = InjectedRegistryFault(RegistryCall::EnumerateInterfaces);
        if (rc == ERROR_SUCCESS) {
            rc = ::RegEnumKeyExW(interfaces.get(), index, name, &size, nullptr, nullptr, nullptr,
                                 nullptr);
        }
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            if (++failed >= kMaxFailedEnumerations) {
                ReportLine(EnumFailedLine(rc));
                return false;
            }
            continue;
        }
        UniqueKey sub;
        if (::RegOpenKeyExW(interfaces.get(), name, 0, KEY_READ, sub.put()) != ERROR_SUCCESS) {
            continue;
        }
        visit(sub.get(), prefix + std::wstring(name, size));
    }
    return true;
}

// A value apply is about to write, and whether its original allows that.
struct PlannedValue {
    std::wstring keyPath;
    const wchar_t* valueName;
    Overwrite overwrite;
};

// Puts a saved original back, reporting like the other machine-wide changes.
bool PutBack(const std::wstring& keyPath, const wchar_t* valueName, const StoredValue& original) {
    UniqueKey key;
    const LSTATUS opened =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_SET_VALUE, key.put());
    if (opened != ERROR_SUCCESS) {
        ReportLine(OpenFailedLine(opened));
        return false;
    }
    const LSTATUS set = ::RegSetValueExW(key.get(), valueName, 0, original.type,
                                         original.data.empty() ? nullptr : original.data.data(),
                                         static_cast<DWORD>(original.data.size()));
    if (set != ERROR_SUCCESS) {
        ReportLine(SetFailedLine(set));
        return false;
    }
    key.reset();
    ReportLine(ValueRestoredLine(valueName));
    return true;
}

// keyOpen is the result of opening the value's key for querying; valueKey is that key.
CurrentValue ReadCurrent(LSTATUS keyOpen, HKEY valueKey, const wchar_t* valueName) {
    if (keyOpen != ERROR_SUCCESS) {
        return keyOpen == ERROR_FILE_NOT_FOUND ? CurrentValue::Missing : CurrentValue::Unknown;
    }
    StoredValue current;
    const LSTATUS rc = ReadStoredValue(valueKey, valueName, current);
    return ClassifyCurrent(rc, current);
}

CurrentValue ReadValueState(const std::wstring& keyPath, const wchar_t* valueName) {
    UniqueKey key;
    const LSTATUS rc =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put());
    return ReadCurrent(rc, key.get(), valueName);
}

// True when the value ended restored, removed or never ours.
bool RevertValue(TuningBackup& backup, LSTATUS keyOpen, HKEY valueKey, const std::wstring& keyPath,
                 const wchar_t* valueName) {
    const std::wstring entry = BackupEntryName(keyPath, valueName);
    const std::optional<StoredValue> original = backup.SavedOriginal(entry);
    const bool marked = !original && backup.Marked(entry);
    // The current value only matters when the store knows nothing about it.
    const CurrentValue current =
        original || marked ? CurrentValue::Unknown : ReadCurrent(keyOpen, valueKey, valueName);
    switch (DecideRevert(original.has_value(), marked, current)) {
        case RevertAction::Restore:
            // On failure the entry stays, so the next STOP tries again.
            if (!PutBack(keyPath, valueName, *original)) return false;
            backup.Forget(entry);
            return true;
        case RevertAction::Delete: {
            const bool gone = DeleteRegistryValue(keyPath.c_str(), valueName) ||
                              ReadValueState(keyPath, valueName) == CurrentValue::Missing;
            // A 1 that could not be deleted keeps its marker: the next START must not save it as
            // an original.
            if (marked && gone) backup.Forget(entry);
            return gone;
        }
        case RevertAction::Keep:
            break;
    }
    return true;
}

}  // namespace

TuningOutcome ApplyTcpTuning() {
    const TuningLock lock;
    if (!lock.held()) return Busy();
    TuningOutcome outcome;
    TuningBackup backup(TuningBackup::Mode::Apply);

    // First every original is recorded and the record flushed to disk, then the values are
    // written: one flush for the whole apply, and no value is overwritten before its original is
    // safe.
    std::vector<PlannedValue> plan;
    {
        UniqueKey key;
        const LSTATUS rc =
            ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMsmqKey, 0, KEY_QUERY_VALUE, key.put());
        // A missing key means a missing value; any other failure leaves the original unknown.
        const Overwrite overwrite =
            rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND
                ? backup.RememberOriginal(key.get(), kMsmqKey, kNoDelayValue)
                : Overwrite::No;
        plan.push_back({kMsmqKey, kNoDelayValue, overwrite});
    }
    // Interfaces the walk could not reach keep their values: a failure of the pass.
    if (!ForEachInterface([&](HKEY sub, const std::wstring& path) {
            plan.push_back(
                {path, kAckFrequencyValue, backup.RememberOriginal(sub, path, kAckFrequencyValue)});
        })) {
        ++outcome.failed;
    }
    backup.MarkApplied();
    const bool flushed = backup.Flush();

    for (const PlannedValue& value : plan) {
        if (value.overwrite == Overwrite::No ||
            (value.overwrite == Overwrite::AfterFlush && !flushed)) {
            ReportLine(OriginalNotKeptLine(value.valueName));
            ++outcome.failed;
            continue;
        }
        if (!SetRegistryDword(value.keyPath.c_str(), value.valueName)) ++outcome.failed;
    }
    return outcome;
}

TuningOutcome RevertTcpTuning() {
    const TuningLock lock;
    if (!lock.held()) return Busy();
    TuningOutcome outcome;
    TuningBackup backup(TuningBackup::Mode::Revert);
    {
        UniqueKey key;
        const LSTATUS rc =
            ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMsmqKey, 0, KEY_QUERY_VALUE, key.put());
        if (!RevertValue(backup, rc, key.get(), kMsmqKey, kNoDelayValue)) ++outcome.failed;
    }
    if (!ForEachInterface([&](HKEY sub, const std::wstring& path) {
            if (!RevertValue(backup, ERROR_SUCCESS, sub, path, kAckFrequencyValue))
                ++outcome.failed;
        })) {
        ++outcome.failed;
    }
    backup.FinishRevert();
    return outcome;
}

UniqueHandle CreateTuningMutex() {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kTuningMutexSddl, SDDL_REVISION_1,
                                                                &sd, nullptr)) {
        return UniqueHandle();
    }
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    UniqueHandle mutex(::CreateMutexW(&sa, FALSE, kTuningMutexName));
    ::LocalFree(sd);
    return mutex;
}

}  // namespace tvx
