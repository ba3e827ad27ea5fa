#include "engine/registry_values.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "engine/result_lines.h"
#include "framework/scoped.h"
#include "engine/report_line.h"

namespace tvx {

namespace {
std::atomic<RegistryFault> g_fault{nullptr};
}  // namespace

void SetRegistryFaultForTests(RegistryFault fault) { g_fault.store(fault); }

LSTATUS InjectedRegistryFault(RegistryCall call) {
    const RegistryFault fault = g_fault.load();
    return fault ? fault(call) : ERROR_SUCCESS;
}

bool SetRegistryDword(const wchar_t* keyPath, const wchar_t* valueName) {
    constexpr DWORD kData = 1;
    UniqueKey key;
    // No KEY_WOW64_* flag: the values belong in the native (64-bit) view.
    const LSTATUS created =
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    if (created != ERROR_SUCCESS) {
        ReportLine(CreateFailedLine(created));
        return false;
    }
    LSTATUS set = InjectedRegistryFault(RegistryCall::SetValue);
    if (set == ERROR_SUCCESS) {
        set = ::RegSetValueExW(key.get(), valueName, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&kData), sizeof kData);
    }
    if (set != ERROR_SUCCESS) {
        ReportLine(SetFailedLine(set));
        return false;  // a key created above stays
    }
    key.reset();
    ReportLine(ValueSetLine(valueName, kData));
    return true;
}

bool DeleteRegistryValue(const wchar_t* keyPath, const wchar_t* valueName) {
    UniqueKey key;
    const LSTATUS opened =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, key.put());
    if (opened != ERROR_SUCCESS) {
        ReportLine(OpenFailedLine(opened));
        return false;
    }
    const LSTATUS deleted = ::RegDeleteValueW(key.get(), valueName);
    if (deleted != ERROR_SUCCESS) {
        ReportLine(DeleteFailedLine(deleted));
        return false;
    }
    key.reset();
    ReportLine(ValueDeletedLine(valueName));
    return true;
}

}  // namespace tvx
