#include "tests/engine/engine_test_env.h"

#include <sddl.h>
#include <winternl.h>

#include "engine/tcp_tuning.h"
#include "engine/tuning_backup.h"
#include "framework/scoped.h"
#include "framework/std_output.h"
#include "tests/support/process_util.h"
#include "tests/support/registry_test_util.h"

namespace tvx::test {

namespace {

constexpr char kReady[] = "<ready>\n";

std::wstring ToolCommand(const std::wstring& args) {
    return L"\"" + ExeDir() + L"tuning_tool.exe\" " + args;
}

// Deletes a key that has no subkeys, whatever its DACL and even when it is a link.
void ForceDeleteLeaf(HKEY parent, const std::wstring& name) {
    using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
    static const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    UniqueKey key;
    if (::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, DELETE | WRITE_DAC,
                        key.put()) != ERROR_SUCCESS) {
        return;
    }
    ntDeleteKey(key.get());
}

std::string Quoted(const std::string& value) { return "'" + value + "' 값이 "; }

std::string Failure(const char* call, long code) {
    return std::string(call) + " 실패: 오류 코드 " + std::to_string(code) + "\n";
}

}  // namespace

ToolRun RunTool(const std::wstring& args) {
    const ProcessResult r = RunCapture(ToolCommand(args));
    EXPECT_FALSE(r.timedOut) << "tuning_tool did not end";
    return {r.exitCode, r.output};
}

std::string RunToolUntilReadyThenKill(const std::wstring& args) {
    CapturedProcess child;
    if (!StartCaptured(ToolCommand(args), child)) {
        ADD_FAILURE() << "CreateProcess " << ::GetLastError();
        return {};
    }
    const UniqueHandle& process = child.process;
    const UniqueHandle& readEnd = child.output;
    std::string output;
    char buffer[4096];
    DWORD got = 0;
    // ReadFile blocks until the tool writes; it ends with the marker or with the tool's exit.
    while (output.find(kReady) == std::string::npos &&
           ::ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        output.append(buffer, got);
    }
    const size_t marker = output.find(kReady);
    EXPECT_NE(marker, std::string::npos) << "tuning_tool ended before its marker: " << output;
    ::TerminateProcess(process.get(), 9);
    ::WaitForSingleObject(process.get(), 10000);
    return marker == std::string::npos ? output : output.substr(0, marker);
}

void CreateDanglingLink(HKEY root, const std::wstring& path) {
    UniqueKey link;
    ASSERT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr,
                                REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, link.put(), nullptr),
              ERROR_SUCCESS);
    const std::wstring target = L"\\Registry\\Machine\\SOFTWARE\\TarnivexTest\\Nowhere";
    ASSERT_EQ(::RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK,
                               reinterpret_cast<const BYTE*>(target.data()),
                               static_cast<DWORD>(target.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

std::wstring InterfacePath(const std::wstring& name) {
    return std::wstring(kInterfacesKey) + L"\\" + name;
}

std::vector<std::wstring> InterfaceNames() {
    return SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey);
}

std::string SetLine(const std::string& value) { return Quoted(value) + "1 로 설정되었습니다.\n"; }
std::string DeletedLine(const std::string& value) {
    return Quoted(value) + "성공적으로 삭제되었습니다.\n";
}
std::string RestoredLine(const std::string& value) {
    return Quoted(value) + "원래 값으로 복원되었습니다.\n";
}
std::string NotKeptLine(const std::string& value) {
    return "'" + value + "' 값의 원래 값을 보관하지 못해 값을 바꾸지 않았습니다.\n";
}
std::string OpenFailed(long code) { return Failure("RegOpenKeyEx", code); }
std::string CreateFailed(long code) { return Failure("RegCreateKeyEx", code); }
std::string SetFailed(long code) { return Failure("RegSetValueEx", code); }
std::string DeleteFailed(long code) { return Failure("RegDeleteValue", code); }

DWORD BackupEntries(const wchar_t* part) {
    UniqueKey key;
    const std::wstring path = std::wstring(kTuningBackupKey) + L"\\" + part;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return 0;
    }
    DWORD values = 0;
    ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr);
    return values;
}

const std::vector<std::wstring>& TuningRegistryTest::DefaultInterfaces() {
    static const std::vector<std::wstring> names = {L"{2F0C1F1A-4B1E-4C6A-9D3E-1A2B3C4D5E01}",
                                                    L"{7A5B2C3D-11E2-4F60-8A9B-0C1D2E3F4A02}",
                                                    L"{C3D4E5F6-0718-4293-A4B5-C6D7E8F90A03}"};
    return names;
}

void TuningRegistryTest::ResetInterfaces(const std::vector<std::wstring>& names) {
    {
        UniqueKey interfaces;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInterfacesKey, 0, KEY_READ, interfaces.put()) ==
            ERROR_SUCCESS) {
            for (const std::wstring& name : SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey)) {
                ForceDeleteLeaf(interfaces.get(), name);
            }
        }
    }
    DeleteTree(HKEY_LOCAL_MACHINE, kInterfacesKey);
    for (const std::wstring& name : names) CreateKey(HKEY_LOCAL_MACHINE, InterfacePath(name));
}

void TuningRegistryTest::SetUp() {
    ResetInterfaces(DefaultInterfaces());
    DeleteTree(HKEY_LOCAL_MACHINE, kMsmqKey);
    DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarnivex");
    DeleteTree(HKEY_LOCAL_MACHINE, kTestRoot);
}

void TuningRegistryTest::TearDown() {
    ResetInterfaces(DefaultInterfaces());
    // A part of the backup store that a test locked up still lets its owner change the DACL.
    for (const wchar_t* part : {kSavedSubkey, kCreatedSubkey}) {
        const std::wstring path = std::wstring(kTuningBackupKey) + L"\\" + part;
        UniqueKey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, key.put()) ==
            ERROR_SUCCESS) {
            key.reset();
            SetKeyDacl(HKEY_LOCAL_MACHINE, path, L"D:(A;;KA;;;WD)");
        }
    }
    DeleteTree(HKEY_LOCAL_MACHINE, kMsmqKey);
    DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarnivex");
    {
        UniqueKey root;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestRoot, 0, KEY_READ, root.put()) ==
            ERROR_SUCCESS) {
            for (const std::wstring& name : SubkeyNames(HKEY_LOCAL_MACHINE, kTestRoot)) {
                SetKeyDacl(HKEY_LOCAL_MACHINE, std::wstring(kTestRoot) + L"\\" + name,
                           L"D:(A;OICI;KA;;;WD)");
            }
        }
    }
    DeleteTree(HKEY_LOCAL_MACHINE, kTestRoot);
}

}  // namespace tvx::test
