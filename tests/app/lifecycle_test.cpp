// The program's life: one instance, keys that must not end it, the confirmed exit, and the
// relaunch of a start without administrator rights.
#include "engine/tcp_tuning.h"
#include "framework/scoped.h"
#include "res/resource.h"
#include "tests/app/app_fixture.h"
#include "tests/support/process_util.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/schtasks_double.h"

namespace tvx::test {
namespace {

using LifecycleTest = AppTest;

// Visible or hidden main windows of every running copy of the program.
int MainWindowCount() {
    int count = 0;
    for (DWORD pid : ProcessesNamed(L"Tarnivex.exe")) {
        if (FindMainWindow(pid, 0)) ++count;
    }
    return count;
}

// Another program's windows titled "Tarnivex", one of them even of the program's own class
// name, shown after the program's: a copy looking for the running one must pass them by.
AppProcess StartDecoys() {
    AppProcess decoys = AppProcess::Start(WindowsPathOf(TARNIVEX_DECOY_WINDOW));
    EXPECT_TRUE(decoys);
    EXPECT_TRUE(WaitUntil(
        [&] {
            int shown = 0;
            for (HWND w : TopLevelWindows(decoys.pid())) shown += ::IsWindowVisible(w) ? 1 : 0;
            return shown >= 2;
        },
        10000))
        << "the decoy windows did not come up";
    return decoys;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

TEST_F(LifecycleTest, SecondStartRestoresTheHiddenWindowAndEndsWithZero) {
    Launch();
    Press(wnd_, kCross.x, kCross.y);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(wnd_); }, 5000));
    const AppProcess decoys = StartDecoys();

    AppProcess second = AppProcess::Start(ExePath());
    ASSERT_TRUE(second);
    DWORD code = 99;
    ASSERT_TRUE(second.WaitExit(20000, &code)) << "the second copy did not end";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(wnd_) != FALSE; }, 5000))
        << "not restored";
    EXPECT_EQ(MainWindowCount(), 1);
    EXPECT_EQ(::WaitForSingleObject(app_.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

// The setup and the uninstaller end the running copy with /exit: only the real one is asked,
// and with none running, /exit has nothing to wait for.
TEST_F(LifecycleTest, ExitEndsTheRealCopyAndNeverWaitsOnAnotherProgramsWindow) {
    Launch();
    const AppProcess decoys = StartDecoys();
    const ProcessResult exit = RunCapture(Quoted(ExePath()) + L" /exit", 40000);
    ASSERT_FALSE(exit.timedOut);
    EXPECT_EQ(exit.exitCode, 0u);
    EXPECT_TRUE(app_.WaitExit(0)) << "the running copy was not ended";

    const ProcessResult none = RunCapture(Quoted(ExePath()) + L" /exit", 10000);
    EXPECT_FALSE(none.timedOut) << "waited on a window that is not the program's";
    EXPECT_EQ(none.exitCode, 0u);
    EXPECT_EQ(::WaitForSingleObject(decoys.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

// A library named like a system one, left beside a copy of the program (a portable copy in a
// Downloads folder), is never loaded, although Wine is told to prefer such a library to its own.
TEST_F(LifecycleTest, ALibraryBesideTheProgramIsNeverLoaded) {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"tarnivex-planted";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\Tarnivex.exe";
    const std::wstring marker = folder + L"\\planted-dll-loaded.txt";
    ASSERT_TRUE(::CopyFileW(ExePath().c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(WindowsPathOf(TARNIVEX_PLANTED_WININET).c_str(),
                            (folder + L"\\wininet.dll").c_str(), FALSE));
    ::DeleteFileW(marker.c_str());

    // What WINEDLLOVERRIDES="wininet=n,b" says, for this program's file name alone (Wine reads
    // the variable from the environment it was started with, not from the one a test passes on).
    struct PreferLibraryBeside {
        const std::wstring key = L"Software\\Wine\\AppDefaults\\Tarnivex.exe";
        PreferLibraryBeside() {
            WriteString(HKEY_CURRENT_USER, key + L"\\DllOverrides", L"wininet", L"native,builtin");
        }
        ~PreferLibraryBeside() { DeleteTree(HKEY_CURRENT_USER, key); }
    } prefer;
    // The window runs its start-up sequence (the online part uses WinINet), then the switches.
    Launch(copy);
    RunCapture(Quoted(copy) + L" /revert", 20000);
    RunCapture(Quoted(copy) + L" /exit", 40000);
    EXPECT_TRUE(app_.WaitExit(5000));
    EXPECT_EQ(::GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the library beside the program was loaded";
}

TEST_F(LifecycleTest, EscapeAndEnterDoNotCloseTheWindow) {
    Launch();
    ::SetForegroundWindow(wnd_);
    for (WPARAM key : {VK_ESCAPE, VK_RETURN, VK_ESCAPE}) {
        ::PostMessageW(wnd_, WM_KEYDOWN, key, 1);
        ::PostMessageW(wnd_, WM_KEYUP, key, 0xC0000001);
    }
    ::Sleep(1000);
    EXPECT_TRUE(::IsWindow(wnd_));
    EXPECT_TRUE(::IsWindowVisible(wnd_));
    EXPECT_EQ(::WaitForSingleObject(app_.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(LifecycleTest, ExitAnsweredNoChangesNothingAndYesUndoesTheTuningAndEnds) {
    Launch();
    Press(wnd_, kStart.x, kStart.y);
    ASSERT_TRUE(WaitUntil(TuningApplied, 20000));
    DismissStrayBox();

    ::PostMessageW(wnd_, WM_COMMAND, ID_TRAY_EXIT, 0);
    HWND box = AwaitBox(kExitQuestion, 10000);
    ASSERT_NE(box, nullptr) << "no question";
    EXPECT_EQ(WindowText(box), L"Tarnivex");
    ASSERT_NE(::GetDlgItem(box, IDYES), nullptr);
    ASSERT_TRUE(ClickDialogButton(box, IDNO));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }, 5000));
    ::Sleep(500);
    EXPECT_TRUE(TuningApplied());
    EXPECT_TRUE(::IsWindowVisible(wnd_));
    EXPECT_TRUE(TrayIconExists(wnd_, 1));
    EXPECT_EQ(::WaitForSingleObject(app_.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    ::PostMessageW(wnd_, WM_COMMAND, ID_TRAY_EXIT, 0);
    box = AwaitBox(kExitQuestion, 10000);
    ASSERT_NE(box, nullptr);
    const HWND wnd = wnd_;
    ASSERT_TRUE(ClickDialogButton(box, IDYES));
    EXPECT_TRUE(WaitUntil(
        [&] {
            DismissStrayBox();
            return app_.WaitExit(0);
        },
        20000))
        << "still running after Yes";
    EXPECT_TRUE(TuningAbsent());
    EXPECT_FALSE(TrayIconExists(wnd, 1));
}

// A crash, a kill or a self-update leaves game ping on. The next start shows it as it is, and its
// STOP gives back what the first START replaced.
TEST_F(LifecycleTest, AfterAKillTheNextStartShowsStopAndStopRestores) {
    const std::wstring iface = std::wstring(kInterfacesKey) + L"\\" +
                               SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey).at(0);
    WriteDword(HKEY_LOCAL_MACHINE, iface, kAckFrequencyValue, 2);  // the user's own
    Launch();
    Press(wnd_, kStart.x, kStart.y);
    ASSERT_TRUE(WaitUntil(TuningApplied, 20000));
    app_.Kill();

    Launch();
    ExpectLooksLike(L"stop");
    // Nothing was written again: the start only looked.
    EXPECT_TRUE(TuningApplied());
    Press(wnd_, kStart.x, kStart.y);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ReadDword(HKEY_LOCAL_MACHINE, iface, kAckFrequencyValue) == 2u &&
                   !ReadValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue);
        },
        20000))
        << "not restored";
    ExpectLooksLike(L"start");
    for (const auto& name : SubkeyNames(HKEY_LOCAL_MACHINE, kInterfacesKey)) {
        const std::wstring key = std::wstring(kInterfacesKey) + L"\\" + name;
        if (key != iface) {
            EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, key, kAckFrequencyValue));
        }
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarnivex")) << "the store stayed";
}

// A primary token of this user without administrator rights (the elevated token's linked one).
UniqueHandle NonElevatedToken() {
    UniqueHandle self;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, self.put())) return {};
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!::GetTokenInformation(self.get(), TokenLinkedToken, &linked, sizeof linked, &size))
        return {};
    UniqueHandle limited(linked.LinkedToken);
    UniqueHandle primary;
    if (!::DuplicateTokenEx(limited.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                            TokenPrimary, primary.put())) {
        return {};
    }
    return primary;
}

// Under Wine the "runas" relaunch grants no rights, so the relaunched copy lacks them too and
// must end as well; no copy without the rights may show a window or reach the single-instance
// gate.
TEST_F(LifecycleTest, StartWithoutRightsRelaunchesWithUacAndEndsWithoutWindow) {
    // A first, elevated instance hidden in the tray: a copy that reached the single-instance
    // gate would show it again.
    Launch();
    Press(wnd_, kCross.x, kCross.y);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(wnd_); }, 5000));

    const UniqueHandle token = NonElevatedToken();
    ASSERT_TRUE(token) << ::GetLastError();
    AppProcess limited = AppProcess::Start(ExePath(), token.get());
    ASSERT_TRUE(limited) << ::GetLastError();
    const DWORD limitedPid = limited.pid();

    // The relaunched copy lives only briefly: look as often as possible.
    std::wstring relaunchLine;
    const ULONGLONG deadline = ::GetTickCount64() + 20000;
    while (relaunchLine.empty() && ::GetTickCount64() < deadline) {
        for (DWORD pid : ProcessesNamed(L"Tarnivex.exe")) {
            if (pid == limitedPid || pid == app_.pid()) continue;
            const std::wstring line = ProcessCommandLine(pid);
            if (line.find(L"/uac") != std::wstring::npos) relaunchLine = line;
        }
    }
    EXPECT_FALSE(relaunchLine.empty()) << "no relaunched copy";
    // The relaunch names the running file in full and passes "/uac".
    EXPECT_EQ(relaunchLine, L"\"" + ExePath() + L"\" /uac");
    EXPECT_TRUE(limited.WaitExit(20000)) << "the copy without rights is still running";

    // Watch a while longer: no copy may show a window or a second instance.
    const ULONGLONG until = ::GetTickCount64() + 2000;
    while (::GetTickCount64() < until) {
        EXPECT_FALSE(::IsWindowVisible(wnd_))
            << "a copy without rights reached the single-instance gate";
        for (DWORD pid : ProcessesNamed(L"Tarnivex.exe")) {
            if (pid != app_.pid()) {
                EXPECT_EQ(FindMainWindow(pid, 0), nullptr) << "window of a copy without rights";
            }
        }
        ::Sleep(50);
    }
    KillAllNamed(L"Tarnivex.exe", app_.pid());
    EXPECT_EQ(MainWindowCount(), 1);
    EXPECT_FALSE(::IsWindowVisible(wnd_));
    // The mutex is still the first instance's: a new elevated start hands over to it.
    AppProcess again = AppProcess::Start(ExePath());
    DWORD code = 99;
    ASSERT_TRUE(again.WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
}  // namespace tvx::test
