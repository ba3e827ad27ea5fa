// The release as a user meets it: the signed setup installs for every user, the installed copy
// runs and may start with Windows, a second setup replaces a running copy, and the uninstaller
// gives the machine back what the program changed. Also the program's own /revert.
#include <windows.h>
#include <sddl.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/result_lines.h"
#include "engine/tcp_tuning.h"
#include "settings/installed_copy.h"
#include "settings/settings_commands.h"
#include "settings/settings_store.h"
#include "tests/app/app_fixture.h"
#include "tests/release/release_support.h"
#include "tests/support/link_plant.h"
#include "tests/support/process_util.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/schtasks_double.h"

namespace tvx::test {
namespace {

constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnivex";
constexpr wchar_t kMachineKey[] = L"SOFTWARE\\Tarnivex";
constexpr WPARAM kAutoRunCommand = 32778;

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

std::wstring InterfacePath(const std::wstring& name) {
    return std::wstring(kInterfacesKey) + L"\\" + name;
}

constexpr wchar_t kNoValueChanges[] = L"D:(D;;0x2;;;WD)(A;;KA;;;WD)";  // KEY_SET_VALUE denied
constexpr wchar_t kAnyChanges[] = L"D:(A;;KA;;;WD)";

class ReleaseTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        RemoveInstallation();
        interfaces_ = SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey);
        ASSERT_GE(interfaces_.size(), 2u);
        // A value the user had before: it must come back, not vanish.
        WriteDword(HKEY_LOCAL_MACHINE, InterfacePath(interfaces_[1]), kAckFrequencyValue, 2);
    }
    void TearDown() override {
        if (!interfaces_.empty())
            SetKeyDacl(HKEY_LOCAL_MACHINE, InterfacePath(interfaces_[0]), kAnyChanges);
        app_.Kill();
        KillAllNamed(L"Tarnivex.exe");
        RemoveInstallation();
        AppTest::TearDown();
    }

    static std::wstring PackageFile(const std::wstring& name) {
        return WindowsPathOf(TARNIVEX_PACKAGE_DIR) + L"\\" + name;
    }
    static std::wstring SetupFile() {
        return PackageFile(L"dist\\Tarnivex-" TARNIVEX_VERSION L"-setup.exe");
    }
    // The fingerprint of the throwaway certificate the package was signed with.
    static std::wstring TestSigner() {
        std::ifstream file(std::filesystem::path(PackageFile(L"signer\\signer.sha256")));
        std::string line;
        std::getline(file, line);
        return FromUtf8(line);
    }
    static std::wstring InstallDir() { return KnownFolder(FOLDERID_ProgramFiles) + L"\\Tarnivex"; }
    static std::wstring InstalledExe() { return InstallDir() + L"\\Tarnivex.exe"; }
    static std::wstring Uninstaller() { return InstallDir() + L"\\uninstall.exe"; }
    static std::wstring Shortcut() {
        return KnownFolder(FOLDERID_CommonPrograms) + L"\\Tarnivex.lnk";
    }
    static std::wstring MachineFiles() { return KnownFolder(FOLDERID_ProgramData) + L"\\Tarnivex"; }

    static void RemoveInstallation() {
        RemovePath(InstallDir());
        RemovePath(Shortcut());
        RemovePath(MachineFiles());
        DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    static void RunInstaller(const std::wstring& commandLine) {
        DWORD code = 99;
        std::wstring leftOver;
        ASSERT_TRUE(RunToTheEnd(commandLine, 60000, &code, &leftOver))
            << testing::PrintToString(commandLine) << " did not end; still running:\n"
            << testing::PrintToString(leftOver);
        EXPECT_EQ(code, 0u) << testing::PrintToString(commandLine);
    }

    // The files signed by the test signer, the shortcut, and the Apps-and-features entry.
    static void ExpectInstalled() {
        const std::wstring signer = TestSigner();
        ASSERT_EQ(signer.size(), 64u) << testing::PrintToString(signer);
        EXPECT_EQ(SignerFingerprint(InstalledExe()), signer);
        EXPECT_EQ(SignerFingerprint(Uninstaller()), signer);
        // The uninstaller the package check verified is the one that was installed.
        EXPECT_TRUE(SameContents(Uninstaller(), PackageFile(L"uninstall.exe")));
        EXPECT_EQ(::lstrcmpiW(ShortcutTarget(Shortcut()).c_str(), InstalledExe().c_str()), 0)
            << testing::PrintToString(ShortcutTarget(Shortcut()));

        auto text = [](const wchar_t* name) {
            return ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, name).value_or(L"(missing)");
        };
        EXPECT_EQ(text(L"DisplayName"), L"Tarnivex");
        EXPECT_EQ(text(L"DisplayVersion"), TARNIVEX_VERSION);
        EXPECT_EQ(text(L"Publisher"), L"Tarnivex");
        EXPECT_EQ(text(L"DisplayIcon"), InstalledExe() + L",0");
        EXPECT_EQ(text(L"InstallLocation"), InstallDir());
        EXPECT_EQ(text(L"UninstallString"), Quoted(Uninstaller()));
        EXPECT_EQ(text(L"QuietUninstallString"), Quoted(Uninstaller()) + L" /S");
        EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, L"NoModify"), 1u);
        EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, L"NoRepair"), 1u);
        const auto kib = (FileSize(InstalledExe()) + FileSize(Uninstaller())) / 1024;
        const DWORD estimated =
            ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize").value_or(0);
        EXPECT_GE(estimated, kib);
        EXPECT_LE(estimated, kib + 8);
        // What the logon task starts: the recorded copy, in a folder only administrators (and
        // the system's own owner) may change.
        EXPECT_TRUE(IsInstalledCopy(InstalledExe()));
    }

    // The user's 2 back on its interface, none of our values left anywhere.
    void ExpectOriginalValues() const {
        EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue));
        for (size_t i = 0; i < interfaces_.size(); ++i) {
            const std::wstring key = InterfacePath(interfaces_[i]);
            if (i == 1) {
                EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, key, kAckFrequencyValue), 2u);
            } else {
                EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, key, kAckFrequencyValue))
                    << testing::PrintToString(key);
            }
        }
    }

    // The task tool's line `count` (from 1) made the task from a definition file in the
    // protected folder, deleted after use, whose action is the installed program.
    void ExpectTaskCreated(size_t count) const {
        const auto tasks = WaitForLogLines(schtasksLog_, count, 10000);
        ASSERT_GE(tasks.size(), count);
        const std::wstring& line = tasks[count - 1];
        const std::wstring head = L"schtasks /create /tn \"Tarnivex\" /xml \"";
        ASSERT_EQ(line.rfind(head, 0), 0u) << testing::PrintToString(line);
        const std::wstring xmlPath =
            line.substr(head.size(), line.find(L'"', head.size()) - head.size());
        EXPECT_EQ(line, BuildTaskCreateCommand(xmlPath));
        EXPECT_EQ(xmlPath.rfind(MachineFiles() + L"\\", 0), 0u) << testing::PrintToString(xmlPath);
        EXPECT_FALSE(PathExists(xmlPath));
        const std::wstring xml = DecodeUtf16File(LastSchtasksXmlBytes(schtasksLog_));
        EXPECT_NE(xml.find(L"<Command>&quot;" + InstalledExe() + L"&quot;</Command>"),
                  std::wstring::npos)
            << testing::PrintToString(xml);
        EXPECT_NE(xml.find(L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"),
                  std::wstring::npos);
    }

    void PressStartAndWait() {
        Press(wnd_, kStart.x, kStart.y);
        ASSERT_TRUE(WaitUntil(TuningApplied, 20000)) << "START wrote nothing";
        ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kMachineKey)) << "no backup store";
    }

    std::vector<std::wstring> interfaces_;
};

TEST_F(ReleaseTest, SetupInstallsUpgradesARunningCopyAndUninstallLeavesOnlyTheUserSettings) {
    ASSERT_NO_FATAL_FAILURE(RunInstaller(Quoted(SetupFile()) + L" /S"));
    ASSERT_NO_FATAL_FAILURE(ExpectInstalled());

    // A fresh installation shows AutoRun on, so the setup made the task for the installing user,
    // from a definition that names the installed program and that is gone afterwards.
    ExpectTaskCreated(1);
    EXPECT_EQ(StoredText(kAutoRunValue), L"true");
    // The installed copy shows it on (the first toggle switches it off) and may register it.
    ASSERT_NO_FATAL_FAILURE(Launch(InstalledExe()));
    ::PostMessageW(wnd_, WM_COMMAND, kAutoRunCommand, 0);
    ASSERT_TRUE(WaitUntil([] { return StoredText(kAutoRunValue) == L"false"; }, 10000));
    auto tasks = WaitForLogLines(schtasksLog_, 2, 10000);
    ASSERT_GE(tasks.size(), 2u);
    EXPECT_EQ(tasks[1], kTaskDeleteCommand);
    ::PostMessageW(wnd_, WM_COMMAND, kAutoRunCommand, 0);
    ASSERT_TRUE(WaitUntil([] { return StoredText(kAutoRunValue) == L"true"; }, 10000));
    ExpectTaskCreated(3);
    ASSERT_NO_FATAL_FAILURE(PressStartAndWait());

    // A setup over a running copy ends it first, which undoes its values; the settings stay.
    ASSERT_NO_FATAL_FAILURE(RunInstaller(Quoted(SetupFile()) + L" /S"));
    EXPECT_TRUE(app_.WaitExit(0)) << "the running copy was not ended";
    ExpectOriginalValues();
    EXPECT_EQ(StoredText(kAutoRunValue), L"true");
    ASSERT_NO_FATAL_FAILURE(ExpectInstalled());
    // The upgrade made the task again with its own definition.
    ExpectTaskCreated(4);

    ASSERT_NO_FATAL_FAILURE(Launch(InstalledExe()));
    const HWND wnd = wnd_;
    ASSERT_NO_FATAL_FAILURE(PressStartAndWait());
    // Something of the program's under ProgramData, as a downloaded client would leave.
    // (The running copy has made the folder already for its log and its task definitions.)
    ASSERT_TRUE(::CreateDirectoryW(MachineFiles().c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(::CloseHandle(::CreateFileW((MachineFiles() + L"\\client.exe").c_str(),
                                            GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)));

    ASSERT_NO_FATAL_FAILURE(RunInstaller(Quoted(Uninstaller()) + L" /S"));
    EXPECT_TRUE(app_.WaitExit(5000)) << "the running copy was not ended";
    EXPECT_FALSE(TrayIconExists(wnd, 1));
    ExpectOriginalValues();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineKey));
    tasks = WaitForLogLines(schtasksLog_, 5, 5000);
    ASSERT_EQ(tasks.size(), 5u);
    EXPECT_EQ(tasks[4], Quoted(SystemFolder() + L"\\schtasks.exe") + L" /delete /tn Tarnivex /f");
    EXPECT_FALSE(PathExists(InstallDir()));
    EXPECT_FALSE(PathExists(Shortcut()));
    EXPECT_FALSE(PathExists(MachineFiles()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ(StoredText(kAutoRunValue), L"true");
}

// Anyone may make %ProgramData%\Tarnivex before the program does, or a junction in its place:
// neither the program (a start, START, STOP) nor the uninstaller writes or deletes through it.
TEST_F(ReleaseTest, AHomeThatIsALinkLeadsNowhereAndTheUninstallerLeavesItsTarget) {
    const Canary canary = MakeCanary(KnownFolder(FOLDERID_ProgramData) + L"\\canary-home");
    ASSERT_TRUE(CanaryUntouched(canary));
    // Removed before the fixture's own clean-up, which would follow the link.
    struct Unplant {
        std::wstring link;
        Canary canary;
        ~Unplant() {
            RemoveLink(link);
            ::DeleteFileW(canary.file.c_str());
            ::RemoveDirectoryW(canary.folder.c_str());
        }
    } unplant{MachineFiles(), canary};
    ASSERT_TRUE(PlantLink(MachineFiles(), canary.folder));

    ASSERT_NO_FATAL_FAILURE(RunInstaller(Quoted(SetupFile()) + L" /S"));
    ASSERT_NO_FATAL_FAILURE(Launch(InstalledExe()));
    ASSERT_NO_FATAL_FAILURE(PressStartAndWait());
    Press(wnd_, kStart.x, kStart.y);
    ASSERT_TRUE(
        WaitUntil([] { return !ReadValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue); }, 20000))
        << "STOP removed nothing";
    ExpectOriginalValues();
    EXPECT_TRUE(CanaryUntouched(canary)) << "the program wrote through the link";

    ASSERT_NO_FATAL_FAILURE(RunInstaller(Quoted(Uninstaller()) + L" /S"));
    EXPECT_TRUE(app_.WaitExit(5000)) << "the running copy was not ended";
    EXPECT_TRUE(CanaryUntouched(canary)) << "the uninstaller deleted through the link";
    EXPECT_FALSE(PathExists(InstallDir()));
}

// Runs the program with /revert; its exit code, or -1 when it did not end by itself.
DWORD RunRevert() {
    const ProcessResult run = RunCapture(Quoted(WindowsPathOf(TARNIVEX_EXE)) + L" /revert", 20000);
    return run.timedOut ? static_cast<DWORD>(-1) : run.exitCode;
}

TEST_F(ReleaseTest, RevertPutsBackWhatTheStoreHoldsAndFailsOnAValueItCannotDelete) {
    const std::wstring apply = Quoted(WindowsPathOf(TARNIVEX_TUNING_TOOL)) + L" apply";
    ASSERT_EQ(RunCapture(apply).exitCode, 0u);
    ASSERT_TRUE(TuningApplied());
    const DWORD first = RunRevert();
    ASSERT_NE(first, static_cast<DWORD>(-1)) << "/revert did not end by itself";
    EXPECT_EQ(first, 0u);
    ExpectOriginalValues();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineKey));

    ASSERT_EQ(RunCapture(apply).exitCode, 0u);
    ASSERT_NO_FATAL_FAILURE(
        SetKeyDacl(HKEY_LOCAL_MACHINE, InterfacePath(interfaces_[0]), kNoValueChanges));
    EXPECT_EQ(RunRevert(), 1u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, InterfacePath(interfaces_[0]), kAckFrequencyValue), 1u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, InterfacePath(interfaces_[1]), kAckFrequencyValue), 2u);
    // The record of the value left behind stays for a later try, which then finishes the job.
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kMachineKey));
    ASSERT_NO_FATAL_FAILURE(
        SetKeyDacl(HKEY_LOCAL_MACHINE, InterfacePath(interfaces_[0]), kAnyChanges));
    EXPECT_EQ(RunRevert(), 0u);
    ExpectOriginalValues();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineKey));
}

// The tuning lock as another copy of the program holds it for a pass: this thread plays the
// window.
class HeldTuningLock {
public:
    HeldTuningLock() : mutex_(tvx::CreateTuningMutex()) {
        held_ = mutex_ && ::WaitForSingleObject(mutex_.get(), 0) == WAIT_OBJECT_0;
    }
    ~HeldTuningLock() { Release(); }
    bool held() const { return held_; }
    void Release() {
        if (held_) ::ReleaseMutex(mutex_.get());
        held_ = false;
    }

private:
    UniqueHandle mutex_;
    bool held_ = false;
};

// A /revert while the window's pass is part-way through its writes waits for the pass, then gives
// every original back; one that cannot get the lock in time changes nothing and says so.
TEST_F(ReleaseTest, RevertWaitsForAPassOfAnotherCopyAndSaysWhenItCannot) {
    const std::wstring apply = Quoted(WindowsPathOf(TARNIVEX_TUNING_TOOL)) + L" apply";
    const std::wstring revert = Quoted(WindowsPathOf(TARNIVEX_EXE)) + L" /revert";
    {
        // The pass has recorded the originals and written its values, and still holds the lock
        // (its walk is not over). Our own process writes no log: it would hold the log folder.
        ASSERT_EQ(RunCapture(apply).exitCode, 0u);
        HeldTuningLock pass;
        ASSERT_TRUE(pass.held());
        CapturedProcess child;
        ASSERT_TRUE(StartCaptured(revert, child)) << ::GetLastError();
        EXPECT_EQ(::WaitForSingleObject(child.process.get(), 1500),
                  static_cast<DWORD>(WAIT_TIMEOUT))
            << "/revert did not wait for the pass";
        EXPECT_TRUE(TuningApplied());
        pass.Release();
        ASSERT_EQ(::WaitForSingleObject(child.process.get(), 20000),
                  static_cast<DWORD>(WAIT_OBJECT_0));
        DWORD code = 99;
        ::GetExitCodeProcess(child.process.get(), &code);
        EXPECT_EQ(code, 0u);
        ExpectOriginalValues();
    }

    ASSERT_EQ(RunCapture(apply).exitCode, 0u);
    HeldTuningLock stuck;
    ASSERT_TRUE(stuck.held());
    const ProcessResult busy = RunCapture(revert, kTuningLockWaitMs + 20000);
    ASSERT_FALSE(busy.timedOut);
    EXPECT_EQ(busy.exitCode, 1u);
    EXPECT_NE(FromUtf8(busy.output).find(TuningBusyLine()), std::wstring::npos)
        << testing::PrintToString(busy.output);
    EXPECT_TRUE(TuningApplied()) << "/revert changed values without the lock";
    stuck.Release();
    EXPECT_EQ(RunRevert(), 0u);
    ExpectOriginalValues();
}

}  // namespace
}  // namespace tvx::test
