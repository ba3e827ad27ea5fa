#include "settings/settings_commands.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>

#include <cstring>
#include <vector>

#include "framework/known_folder.h"
#include "framework/log_file.h"
#include "framework/scoped.h"
#include "settings/installed_copy.h"
#include "settings/settings_store.h"
#include "tests/online/message_box_recorder.h"
#include "tests/online/test_window.h"
#include "tests/support/process_util.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/schtasks_double.h"
#include "ui/tarnivex_dlg.h"

namespace {

using namespace tvx::test;

constexpr wchar_t kTarnivexKey[] = L"Software\\Tarnivex";

std::vector<std::wstring> Argv(const std::wstring& commandLine) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(commandLine.c_str(), &argc);
    std::vector<std::wstring> out(argv, argv + argc);
    ::LocalFree(argv);
    return out;
}

TEST(TaskCommands, CreationLineNamesTheDefinitionFileInOneArgument) {
    for (const std::wstring& path : {
             std::wstring(L"C:\\ProgramData\\Tarnivex\\autorun-task-12.xml"),
             std::wstring(L"C:\\데이터 폴더\\It's here & ^|<>\\autorun-task-1.xml"),
         }) {
        SCOPED_TRACE(testing::PrintToString(path));
        const auto argv = Argv(tvx::BuildTaskCreateCommand(path));
        EXPECT_EQ(argv, (std::vector<std::wstring>{L"schtasks", L"/create", L"/tn", L"Tarnivex",
                                                   L"/xml", path, L"/f"}));
    }
    EXPECT_EQ(std::wstring(tvx::kTaskDeleteCommand), L"schtasks /delete /tn \"Tarnivex\" /F");
}

// Only a folder and file that nobody but the administrators can change may hold the copy that
// starts elevated at logon.
TEST(InstalledCopy, FolderSecurityAdmitsOnlyAdministrators) {
    struct Case {
        const wchar_t* sddl;
        bool only;
    };
    for (const Case& c : {
             // Program Files as Windows makes it: Users may read and run, CREATOR OWNER's
             // entry only reaches what is created inside.
             Case{L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
                  L"D:P(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
                  L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
                  L"(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;AC)",
                  true},
             Case{L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", true},
             Case{L"O:SYD:(A;;FA;;;BA)(D;;FA;;;BU)", true},
             // A folder a game launcher opened to Users or Authenticated Users.
             Case{L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", false},
             Case{L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;AU)", false},
             Case{L"O:BAD:(A;;FA;;;BA)(A;;0x2;;;WD)", false},   // add a file
             Case{L"O:BAD:(A;;FA;;;BA)(A;;0x40;;;BU)", false},  // delete a child
             Case{L"O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)", false},    // change the DACL
             Case{L"O:BAD:(A;;FA;;;BA)(A;;GW;;;S-1-5-21-1-2-3-1001)", false},
             // Owned by a user, who may always change the DACL.
             Case{L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;BA)", false},
             Case{L"O:BA", false},  // no DACL: everyone may do everything
         }) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.sddl)));
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1,
                                                                           &sd, nullptr));
        EXPECT_EQ(tvx::SecurityAdmitsOnlyAdministrators(sd), c.only);
        ::LocalFree(sd);
    }
}

TEST(InstalledCopy, OnlyTheRecordedFoldersTarnivexExeCounts) {
    struct Case {
        const wchar_t* exe;
        const wchar_t* folder;
        bool installed;
    };
    for (const Case& c : {
             Case{L"\\\\?\\C:\\Program Files\\Tarnivex\\Tarnivex.exe",
                  L"\\\\?\\C:\\Program Files\\Tarnivex", true},
             Case{L"\\\\?\\c:\\PROGRAM FILES\\tarnivex\\TARNIVEX.EXE",
                  L"\\\\?\\C:\\Program Files\\Tarnivex\\", true},
             // Beside the installation, below it, or in a folder whose name only begins alike.
             Case{L"\\\\?\\C:\\Program Files\\Tarnivex\\old\\Tarnivex.exe",
                  L"\\\\?\\C:\\Program Files\\Tarnivex", false},
             Case{L"\\\\?\\C:\\Program Files\\Tarnivex2\\Tarnivex.exe",
                  L"\\\\?\\C:\\Program Files\\Tarnivex", false},
             Case{L"\\\\?\\C:\\Program Files\\Tarnivex\\Other.exe",
                  L"\\\\?\\C:\\Program Files\\Tarnivex", false},
             Case{L"\\\\?\\C:\\Program Files\\Games\\Tarnivex.exe",
                  L"\\\\?\\C:\\Program Files\\Tarnivex", false},
             Case{L"\\\\?\\C:\\Program Files\\Tarnivex\\Tarnivex.exe", L"", false},
         }) {
        EXPECT_EQ(tvx::IsExeInFolder(c.exe, c.folder), c.installed)
            << testing::PrintToString(std::wstring(c.exe)) << " in "
            << testing::PrintToString(std::wstring(c.folder));
    }
}

// The toggles against the real registry and the recording schtasks.
class SettingsCommands : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::wstring error;
        installed_ = InstallSchtasksDouble(&error);
        installError_ = error;
    }
    void SetUp() override {
        ASSERT_TRUE(installed_) << testing::PrintToString(installError_);
        DeleteTree(HKEY_CURRENT_USER, kTarnivexKey);
        log_ = UseFreshSchtasksLog(L"tarnivex-settings-schtasks.log");
    }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, kTarnivexKey); }

    static void ExpectStored(const wchar_t* name, const wchar_t* text) {
        const auto value = ReadValue(HKEY_CURRENT_USER, tvx::kSettingsKey, name);
        ASSERT_TRUE(value.has_value()) << "value missing";
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
        const std::wstring expected(text);
        const size_t bytes = (expected.size() + 1) * sizeof(wchar_t);
        ASSERT_EQ(value->data.size(), bytes);  // "true" 10 bytes, "false" 12
        EXPECT_EQ(std::memcmp(value->data.data(), expected.c_str(), bytes), 0);
    }

    // The toggle waits for schtasks on a worker and reports back to the window's thread.
    static void ToggleAutoRunAndWait(TestWindow& window) {
        window.OnToggleAutoRun();
        ASSERT_TRUE(PumpUntil([&] { return !window.AutoRunToggleBusy(); }, 20000));
    }

    static inline bool installed_ = false;
    static inline std::wstring installError_;
    std::wstring log_;
};

TEST_F(SettingsCommands, AutoPingAndMemoryStoreExactTextsAndTwiceRestores) {
    CTarnivexDlg dlg;
    dlg.m_bAutoPing = FALSE;
    dlg.m_bMemory = TRUE;
    dlg.OnToggleAutoPing();
    dlg.OnToggleMemory();
    EXPECT_EQ(dlg.m_bAutoPing, TRUE);
    EXPECT_EQ(dlg.m_bMemory, FALSE);
    ExpectStored(tvx::kAutoPingValue, L"true");
    ExpectStored(tvx::kMemoryValue, L"false");
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kAutoRunValue).has_value());

    dlg.OnToggleAutoPing();
    dlg.OnToggleMemory();
    EXPECT_EQ(dlg.m_bAutoPing, FALSE);
    EXPECT_EQ(dlg.m_bMemory, TRUE);
    ExpectStored(tvx::kAutoPingValue, L"false");
    ExpectStored(tvx::kMemoryValue, L"true");
    // What was stored is what the next start reads.
    const auto loaded = tvx::LoadSettings();
    EXPECT_EQ(loaded.autoPing, FALSE);
    EXPECT_EQ(loaded.memory, TRUE);
    // Nothing but AutoRun touches the task.
    EXPECT_TRUE(WaitForLogLines(log_, 1, 500).empty());
}

TEST_F(SettingsCommands, AutoRunOffDeletesTheTaskAndOnNeedsTheInstalledCopy) {
    MessageBoxRecorder boxes;
    TestWindow dlg;
    ASSERT_NE(dlg.GetSafeHwnd(), nullptr);
    dlg.KillStartupTimer();  // no online sequence here
    dlg.m_bAutoRun = TRUE;
    ToggleAutoRunAndWait(dlg);
    EXPECT_EQ(dlg.m_bAutoRun, FALSE);
    ExpectStored(tvx::kAutoRunValue, L"false");
    auto lines = WaitForLogLines(log_, 1, 10000);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"schtasks /delete /tn \"Tarnivex\" /F");
    EXPECT_TRUE(boxes.boxes().empty());

    // schtasks fails to delete a task that is not there: asked, it cannot find one either, so
    // the deletion has done what it was for.
    SetSchtasksExitCode(1);
    dlg.m_bAutoRun = TRUE;
    ToggleAutoRunAndWait(dlg);
    EXPECT_EQ(dlg.m_bAutoRun, FALSE);
    lines = WaitForLogLines(log_, 3, 10000);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], tvx::kTaskDeleteCommand);
    EXPECT_EQ(lines[2], tvx::kTaskQueryCommand);
    EXPECT_TRUE(boxes.boxes().empty());

    // The test program lies in the build tree, and no installation is recorded.
    ToggleAutoRunAndWait(dlg);
    EXPECT_EQ(dlg.m_bAutoRun, FALSE);
    ExpectStored(tvx::kAutoRunValue, L"false");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              L"윈도우 실행시 프로그램 자동실행은 설치된 프로그램에서만 사용할 수 있습니다.");
    EXPECT_EQ(WaitForLogLines(log_, 4, 1000).size(), 3u) << "a task for a copy not installed";
}

TEST_F(SettingsCommands, KeyThatCannotBeWrittenStillFlipsTheFlagsAndTheTask) {
    // A non-volatile key cannot be created below a volatile one, so the settings key cannot be
    // opened for writing.
    tvx::UniqueKey parent;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kTarnivexKey, 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, parent.put(), nullptr),
              ERROR_SUCCESS);
    EXPECT_FALSE(tvx::StoreSetting(tvx::kMemoryValue, TRUE));

    TestWindow dlg;
    ASSERT_NE(dlg.GetSafeHwnd(), nullptr);
    dlg.KillStartupTimer();  // no online sequence here
    dlg.m_bAutoRun = TRUE;
    dlg.m_bAutoPing = FALSE;
    dlg.m_bMemory = TRUE;
    ToggleAutoRunAndWait(dlg);
    dlg.OnToggleAutoPing();
    dlg.OnToggleMemory();
    EXPECT_EQ(dlg.m_bAutoRun, FALSE);
    EXPECT_EQ(dlg.m_bAutoPing, TRUE);
    EXPECT_EQ(dlg.m_bMemory, FALSE);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tvx::kSettingsKey));
    const auto lines = WaitForLogLines(log_, 1, 10000);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], tvx::kTaskDeleteCommand);
}

// Creates every folder of a path given with the \\?\ prefix (so long paths work too).
void CreateFolders(const std::wstring& folder) {
    for (size_t pos = folder.find(L'\\', 7); pos != std::wstring::npos;
         pos = folder.find(L'\\', pos + 1)) {
        ::CreateDirectoryW(folder.substr(0, pos).c_str(), nullptr);
    }
    ::CreateDirectoryW(folder.c_str(), nullptr);
}

struct ProbeRun {
    DWORD state = static_cast<DWORD>(-1);  // the exit code: AutoRun's state afterwards
    std::wstring boxes;                    // the message boxes' texts, one line each
};

ProbeRun RunProbe(const std::wstring& exe, const wchar_t* mode) {
    const auto run = RunCapture(L"\"" + exe + L"\" " + mode, 30000);
    EXPECT_FALSE(run.timedOut);
    return {run.exitCode, FromUtf8(run.output)};
}

// The text of the one element of that name in the definition.
std::wstring Element(const std::wstring& xml, const std::wstring& name) {
    const std::wstring open = L"<" + name + L">", close = L"</" + name + L">";
    const size_t begin = xml.find(open);
    const size_t end = xml.find(close, begin);
    if (begin == std::wstring::npos || end == std::wstring::npos) return L"(missing)";
    EXPECT_EQ(xml.find(open, begin + 1), std::wstring::npos)
        << "two " << testing::PrintToString(name);
    return xml.substr(begin + open.size(), end - begin - open.size());
}

// Lets everyone write into the folder, as an installer that opens its folder to Users does, or
// takes that back; false when the folder's security does not show the change. Wine derives a
// file's security from its Unix mode (the "other" bits become Everyone's entry), so there it is
// done with chmod, which Wine starts like any program (without a process handle to wait on).
bool LetEveryoneWrite(const std::wstring& folder, bool write) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return false;  // Windows: not needed by this suite, which runs under Wine
    char* name = unixName(folder.c_str());
    if (!name) return false;
    std::wstring commandLine =
        std::wstring(L"/bin/chmod ") + (write ? L"o+w" : L"o-w") + L" \"" + FromUtf8(name) + L"\"";
    ::HeapFree(::GetProcessHeap(), 0, name);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(L"Z:\\bin\\chmod", commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &info)) {
        return false;
    }
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    do {
        const tvx::UniqueFileHandle handle(::CreateFileW(
            folder.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        PSECURITY_DESCRIPTOR sd = nullptr;
        LPWSTR text = nullptr;
        if (handle && ::GetSecurityInfo(handle.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, nullptr, nullptr, &sd) == ERROR_SUCCESS) {
            ::ConvertSecurityDescriptorToStringSecurityDescriptorW(
                sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr);
            ::LocalFree(sd);
        }
        // Everyone's entry: read and run (0x1200a9) or with writing too.
        const bool everyoneWrites =
            text && std::wstring(text).find(L";;;WD)") != std::wstring::npos &&
            std::wstring(text).find(L"(A;OICI;0x1200a9;;;WD)") == std::wstring::npos;
        if (text) ::LocalFree(text);
        if (everyoneWrites == write) return true;
        ::Sleep(50);
    } while (::GetTickCount64() < deadline);
    return false;
}

// The program's log (UTF-8) as text.
std::wstring ReadLog() {
    tvx::UniqueFileHandle file(::CreateFileW(tvx::LogFilePath().c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return FromUtf8(bytes);
}

std::wstring UserSid() {
    tvx::UniqueHandle token;
    EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()));
    BYTE buffer[512];
    DWORD size = 0;
    EXPECT_TRUE(::GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size));
    LPWSTR text = nullptr;
    EXPECT_TRUE(::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text));
    std::wstring sid(text ? text : L"");
    ::LocalFree(text);
    return sid;
}

class InstalledCopyCommands : public SettingsCommands {
protected:
    void SetUp() override {
        SettingsCommands::SetUp();
        DeleteTree(HKEY_LOCAL_MACHINE, tvx::kUninstallKey);
    }
    void TearDown() override {
        DeleteTree(HKEY_LOCAL_MACHINE, tvx::kUninstallKey);
        SettingsCommands::TearDown();
    }
};

// Only the copy the setup recorded gets the task, even when others lie in Program Files too;
// the task is made from a definition in the protected folder, which is gone afterwards; a task
// that schtasks does not make leaves the option off and says so.
TEST_F(InstalledCopyCommands, OnlyTheRecordedCopyGetsTheTaskWithItsDefinition) {
    const std::wstring probe = WindowsPathOf(TARNIVEX_AUTORUN_PROBE);
    // ệ and ử lie outside the Korean ANSI code page; & and ' must stay text in the definition.
    const std::wstring recorded = L"C:\\Program Files\\Nguyễn Văn Tử\\타르니벡스 & It's here";
    const std::wstring others[] = {
        L"C:\\Program Files\\Tarnivex",  // inside Program Files, but not the installation
        L"C:\\Tarnivex test\\타르니벡스",
    };
    WriteString(HKEY_LOCAL_MACHINE, tvx::kUninstallKey, tvx::kInstallLocationValue, recorded);
    auto place = [&](const std::wstring& folder) {
        CreateFolders(L"\\\\?\\" + folder);
        const std::wstring exe = folder + L"\\Tarnivex.exe";
        EXPECT_TRUE(::CopyFileW(probe.c_str(), exe.c_str(), FALSE)) << ::GetLastError();
        return exe;
    };
    const std::wstring refusal =
        L"윈도우 실행시 프로그램 자동실행은 설치된 프로그램에서만 사용할 수 있습니다.\n";

    for (const std::wstring& folder : others) {
        SCOPED_TRACE(testing::PrintToString(folder));
        const std::wstring exe = place(folder);
        WriteString(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kAutoRunValue, L"true");
        // At start a stored "true" shows unticked, and stays stored.
        EXPECT_EQ(RunProbe(exe, L"shown").state, 0u);
        ExpectStored(tvx::kAutoRunValue, L"true");
        const ProbeRun run = RunProbe(exe, L"create");
        EXPECT_EQ(run.state, 0u);
        EXPECT_EQ(run.boxes, refusal);
        ExpectStored(tvx::kAutoRunValue, L"false");
        ::DeleteFileW(exe.c_str());
    }
    EXPECT_TRUE(WaitForLogLines(log_, 1, 1000).empty()) << "a task for a copy not installed";

    const std::wstring exe = place(recorded);
    ASSERT_TRUE(LetEveryoneWrite(recorded, false));  // as a failed run may have left it
    WriteString(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kAutoRunValue, L"true");
    EXPECT_EQ(RunProbe(exe, L"shown").state, 1u);
    ProbeRun run = RunProbe(exe, L"create");
    EXPECT_EQ(run.state, 1u);
    EXPECT_EQ(run.boxes, L"");
    ExpectStored(tvx::kAutoRunValue, L"true");
    auto lines = WaitForLogLines(log_, 1, 10000);
    ASSERT_EQ(lines.size(), 1u);
    const auto argv = Argv(lines[0]);
    ASSERT_EQ(argv.size(), 7u) << testing::PrintToString(lines[0]);
    const std::wstring xmlPath = argv[5];
    EXPECT_EQ(lines[0], tvx::BuildTaskCreateCommand(xmlPath));
    const std::wstring home = tvx::KnownFolderPath(FOLDERID_ProgramData) + L"\\Tarnivex\\";
    EXPECT_EQ(xmlPath.rfind(home, 0), 0u) << testing::PrintToString(xmlPath);
    EXPECT_EQ(::GetFileAttributesW(xmlPath.c_str()), INVALID_FILE_ATTRIBUTES) << "not deleted";
    ::DeleteFileW(xmlPath.c_str());  // so that a failure here leaves nothing for other cases

    const std::string bytes = LastSchtasksXmlBytes(log_);
    const std::wstring xml = DecodeUtf16File(bytes);
    ASSERT_FALSE(xml.empty()) << "no UTF-16 definition with its byte-order mark";
    EXPECT_EQ(Element(xml, L"DisallowStartIfOnBatteries"), L"false");
    EXPECT_EQ(Element(xml, L"StopIfGoingOnBatteries"), L"false");
    EXPECT_EQ(Element(xml, L"ExecutionTimeLimit"), L"PT0S");
    EXPECT_EQ(Element(xml, L"Delay"), L"PT30S");
    EXPECT_EQ(Element(xml, L"RunLevel"), L"HighestAvailable");
    EXPECT_EQ(Element(xml, L"MultipleInstancesPolicy"), L"IgnoreNew");
    EXPECT_EQ(Element(xml, L"StartWhenAvailable"), L"true");
    EXPECT_NE(xml.find(L"<LogonTrigger>\r\n      <Enabled>true</Enabled>\r\n      <UserId>" +
                       UserSid() + L"</UserId>"),
              std::wstring::npos);
    EXPECT_EQ(Element(xml, L"Command"),
              L"&quot;C:\\Program Files\\Nguyễn Văn Tử\\타르니벡스 &amp; It&apos;s "
              L"here\\Tarnivex.exe&quot;");

    // The same copy once everyone may write into its folder: anyone could swap what the task
    // starts, so it is refused like any other copy.
    ASSERT_TRUE(LetEveryoneWrite(recorded, true));
    WriteString(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kAutoRunValue, L"true");
    EXPECT_EQ(RunProbe(exe, L"shown").state, 0u);
    run = RunProbe(exe, L"create");
    EXPECT_EQ(run.state, 0u);
    EXPECT_EQ(run.boxes, refusal);
    ASSERT_TRUE(LetEveryoneWrite(recorded, false));
    EXPECT_EQ(WaitForLogLines(log_, 2, 1000).size(), 1u);

    // schtasks fails: the option is stored off, the mark unticked, and the user told, and the
    // log says why.
    SetSchtasksExitCode(1);
    run = RunProbe(exe, L"create");
    EXPECT_EQ(run.state, 0u);
    EXPECT_EQ(run.boxes, L"자동 실행 작업을 만들지 못했습니다.\n");
    ExpectStored(tvx::kAutoRunValue, L"false");
    EXPECT_EQ(WaitForLogLines(log_, 2, 10000).size(), 2u);
    EXPECT_NE(ReadLog().rfind(L"자동 실행 작업을 만들지 못했습니다: schtasks 종료 코드 1\n"),
              std::wstring::npos);

    SetSchtasksExitCode(0);
    EXPECT_EQ(RunProbe(exe, L"delete").state, 0u);
    lines = WaitForLogLines(log_, 3, 10000);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines.back(), tvx::kTaskDeleteCommand);
    ExpectStored(tvx::kAutoRunValue, L"false");

    // The setup's refresh leaves an explicit "false" alone, and makes the task when the option
    // was never chosen (a fresh installation shows it on).
    EXPECT_EQ(RunProbe(exe, L"refresh").state, 0u);
    EXPECT_EQ(WaitForLogLines(log_, 4, 1000).size(), 3u);
    ExpectStored(tvx::kAutoRunValue, L"false");
    DeleteTree(HKEY_CURRENT_USER, tvx::kSettingsKey);
    EXPECT_EQ(RunProbe(exe, L"refresh").state, 0u);
    lines = WaitForLogLines(log_, 4, 10000);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines.back().rfind(L"schtasks /create /tn \"Tarnivex\" /xml ", 0), 0u);
    ExpectStored(tvx::kAutoRunValue, L"true");
    ::DeleteFileW(exe.c_str());
}

}  // namespace
