// tuning_tool apply | revert | set KEY NAME | delete KEY NAME | apply-hang | remember-hang KEY NAME
//             | apply-failing CALL CODE
// Exit code 0 on success, 1 when a helper reported failure, 2 on a bad command line. The -hang
// commands print the marker "<ready>\n" after their work and then wait to be killed.
// apply-failing applies with every registry call of one kind (save-original, flush-backup,
// set-value, enumerate) failing with the code CODE; exit code 1 when apply counted a value as
// failed.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "engine/registry_values.h"
#include "engine/tcp_tuning.h"
#include "engine/tuning_backup.h"
#include "framework/scoped.h"
#include "framework/std_output.h"

namespace {

// "*long" stands for a value name beyond the registry's limit of 16383 characters.
std::wstring ValueName(const wchar_t* arg) {
    return std::wstring(arg) == L"*long" ? std::wstring(17000, L'a') : std::wstring(arg);
}

LSTATUS g_faultCode = ERROR_SUCCESS;
tvx::RegistryCall g_faultCall = tvx::RegistryCall::SetValue;

LSTATUS Fault(tvx::RegistryCall call) { return call == g_faultCall ? g_faultCode : ERROR_SUCCESS; }

[[noreturn]] void Hang() {
    tvx::WriteStdOut(L"<ready>\n");
    for (;;) ::Sleep(INFINITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring command = argv[1];
    if (command == L"apply") {
        tvx::ApplyTcpTuning();
        return 0;
    }
    if (command == L"revert") {
        tvx::RevertTcpTuning();
        return 0;
    }
    if (command == L"apply-hang") {
        tvx::ApplyTcpTuning();
        Hang();
    }
    if (argc < 4) return 2;
    if (command == L"apply-failing") {
        const std::wstring call = argv[2];
        if (call == L"save-original") {
            g_faultCall = tvx::RegistryCall::SaveOriginal;
        } else if (call == L"flush-backup") {
            g_faultCall = tvx::RegistryCall::FlushBackup;
        } else if (call == L"enumerate") {
            g_faultCall = tvx::RegistryCall::EnumerateInterfaces;
        } else if (call != L"set-value") {
            return 2;
        }
        g_faultCode = static_cast<LSTATUS>(_wtol(argv[3]));
        tvx::SetRegistryFaultForTests(&Fault);
        return tvx::ApplyTcpTuning().ok() ? 0 : 1;
    }
    const std::wstring name = ValueName(argv[3]);
    if (command == L"set") return tvx::SetRegistryDword(argv[2], name.c_str()) ? 0 : 1;
    if (command == L"delete") return tvx::DeleteRegistryValue(argv[2], name.c_str()) ? 0 : 1;
    if (command == L"remember-hang") {
        // The state a kill leaves between recording an original and overwriting it.
        tvx::TuningBackup backup(tvx::TuningBackup::Mode::Apply);
        tvx::UniqueKey key;
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, argv[2], 0, KEY_QUERY_VALUE, key.put());
        backup.RememberOriginal(key.get(), argv[2], name.c_str());
        backup.Flush();
        Hang();
    }
    return 2;
}
