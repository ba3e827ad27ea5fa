#include "settings/settings_commands.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "framework/scoped.h"
#include "settings/settings_store.h"
#include "tests/online/message_box_recorder.h"
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

TEST(TaskCommands, CreationLineQuotesEveryPathSoThatItParsesBackWhole) {
    const std::wstring tail = L" /sc onlogon /f /rl highest /delay 0000:30";
    for (const std::wstring& path : {
             std::wstring(L"C:\\Tarnivex\\Tarnivex.exe"),
             std::wstring(L"C:\\Program Files\\Tarnivex\\Tarnivex.exe"),
             std::wstring(L"C:\\Users\\O'Brien\\It's here\\Tarnivex.exe"),
             std::wstring(L"C:\\Users\\홍길동\\바탕 화면\\Tarnivex.exe"),
             std::wstring(L"\\\\server\\share\\a b\\Tarnivex.exe"),
             std::wstring(L"C:\\odd\\%PATH% & ^|<>\\Tarnivex.exe"),
         }) {
        SCOPED_TRACE(testing::PrintToString(path));
        const std::wstring cmd = tvx::BuildTaskCreateCommand(path);
        EXPECT_EQ(cmd, L"schtasks /create /tn \"Tarnivex\" /tr \"\\\"" + path + L"\\\"\"" + tail);
        // What schtasks receives: the action is the path in double quotes, in one argument.
        const auto argv = Argv(cmd);
        ASSERT_EQ(argv.size(), 13u);
        EXPECT_EQ(argv[3], L"Tarnivex");
        EXPECT_EQ(argv[4], L"/tr");
        EXPECT_EQ(argv[5], L"\"" + path + L"\"");
        EXPECT_EQ(argv[12], L"0000:30");
    }
}

TEST(TaskCommands, DeletionLineIsFixed) {
    EXPECT_EQ(std::wstring(tvx::kTaskDeleteCommand), L"schtasks /delete /tn \"Tarnivex\" /F");
    EXPECT_EQ(std::wstring(tvx::kTaskDeleteCommand).size(), 34u);
}

TEST(AutoRunPlace, OnlyACopyInsideTheFolderCounts) {
    struct Case {
        const wchar_t* path;
        const wchar_t* folder;
        bool inside;
    };
    for (const Case& c : {
             Case{L"C:\\Program Files\\Tarnivex\\Tarnivex.exe", L"C:\\Program Files", true},
             Case{L"c:\\PROGRAM FILES\\Tarnivex\\Tarnivex.exe", L"C:\\Program Files", true},
             Case{L"C:\\Program Files\\Tarnivex.exe", L"C:\\Program Files\\", true},
             // A folder whose name only begins like it is somewhere else entirely.
             Case{L"C:\\Program Files Evil\\Tarnivex.exe", L"C:\\Program Files", false},
             Case{L"C:\\Program FilesX\\Tarnivex.exe", L"C:\\Program Files", false},
             Case{L"C:\\Program Files\\..\\Users\\Tarnivex.exe", L"C:\\Program Files", false},
             Case{L"C:\\Program Files", L"C:\\Program Files", false},
             Case{L"C:\\Program Files\\", L"C:\\Program Files", false},
             Case{L"D:\\Program Files\\Tarnivex\\Tarnivex.exe", L"C:\\Program Files", false},
             Case{L"C:\\Users\\me\\Downloads\\Tarnivex.exe", L"C:\\Program Files", false},
             Case{L"C:\\Program Files\\Tarnivex\\Tarnivex.exe", L"", false},
         }) {
        EXPECT_EQ(tvx::IsInsideFolder(c.path, c.folder), c.inside)
            << testing::PrintToString(std::wstring(c.path)) << " in "
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
    CTarnivexDlg dlg;
    dlg.m_bAutoRun = TRUE;  // the default of a fresh installation
    dlg.OnToggleAutoRun();
    EXPECT_EQ(dlg.m_bAutoRun, FALSE);
    ExpectStored(tvx::kAutoRunValue, L"false");
    auto lines = WaitForLogLines(log_, 1, 10000);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"schtasks /delete /tn \"Tarnivex\" /F");
    EXPECT_TRUE(boxes.boxes().empty());

    // The test program lies in the build tree, outside Program Files.
    dlg.OnToggleAutoRun();
    EXPECT_EQ(dlg.m_bAutoRun, FALSE);
    ExpectStored(tvx::kAutoRunValue, L"false");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              L"Windows 시작 시 자동 실행은 설치된 프로그램에서만 사용할 수 있습니다.");
    EXPECT_EQ(WaitForLogLines(log_, 2, 1000).size(), 1u) << "a task for a copy outside Program Files";
}

TEST_F(SettingsCommands, KeyThatCannotBeWrittenStillFlipsTheFlagsAndTheTask) {
    // A non-volatile key cannot be created below a volatile one, so the settings key cannot be
    // opened for writing.
    tvx::UniqueKey parent;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kTarnivexKey, 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, parent.put(), nullptr),
              ERROR_SUCCESS);
    EXPECT_FALSE(tvx::StoreSetting(tvx::kMemoryValue, TRUE));

    CTarnivexDlg dlg;
    dlg.m_bAutoRun = TRUE;
    dlg.m_bAutoPing = FALSE;
    dlg.m_bMemory = TRUE;
    dlg.OnToggleAutoRun();
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

// Runs the probe at exe and returns its exit code (the new AutoRun state).
DWORD RunProbe(const std::wstring& exe, const wchar_t* mode) {
    const auto run = RunCapture(L"\"" + exe + L"\" " + mode, 30000);
    EXPECT_FALSE(run.timedOut);
    return run.exitCode;
}

TEST_F(SettingsCommands, TaskNamesTheInstalledCopyByItsRealPath) {
    const std::wstring probe = WindowsPathOf(TARNIVEX_AUTORUN_PROBE);
    const std::wstring folders[] = {
        L"C:\\Program Files\\Tarnivex",
        L"C:\\Program Files\\타르니벡스\\It's here",
        // ệ and ử lie outside the Korean ANSI code page: a narrow conversion would lose them.
        L"C:\\Program Files\\Nguyễn Văn Tử\\타르니벡스",
        // Not installed: refused, whatever the path.
        L"C:\\Tarnivex test\\타르니벡스",
    };
    size_t expectedLines = 0;
    for (const std::wstring& folder : folders) {
        SCOPED_TRACE(testing::PrintToString(folder));
        const bool installed = tvx::IsInsideFolder(folder + L"\\x", L"C:\\Program Files");
        CreateFolders(L"\\\\?\\" + folder);
        const std::wstring exe = folder + L"\\Tarnivex.exe";
        ASSERT_TRUE(::CopyFileW(probe.c_str(), (L"\\\\?\\" + exe).c_str(), FALSE))
            << ::GetLastError();

        EXPECT_EQ(RunProbe(exe, L"create"), installed ? 1u : 0u);
        if (installed) {
            auto lines = WaitForLogLines(log_, ++expectedLines, 10000);
            ASSERT_EQ(lines.size(), expectedLines);
            EXPECT_EQ(lines.back(), tvx::BuildTaskCreateCommand(exe));
            ExpectStored(tvx::kAutoRunValue, L"true");
        } else {
            EXPECT_EQ(WaitForLogLines(log_, expectedLines + 1, 1000).size(), expectedLines);
            ExpectStored(tvx::kAutoRunValue, L"false");
        }

        EXPECT_EQ(RunProbe(exe, L"delete"), 0u);  // now off
        auto lines = WaitForLogLines(log_, ++expectedLines, 10000);
        ASSERT_EQ(lines.size(), expectedLines);
        EXPECT_EQ(lines.back(), tvx::kTaskDeleteCommand);
        ExpectStored(tvx::kAutoRunValue, L"false");
        ::DeleteFileW((L"\\\\?\\" + exe).c_str());
    }
}

}  // namespace
