#include "ui/startup_gates.h"

#include <gtest/gtest.h>

#include "framework/executable_path.h"
#include "process_util.h"

namespace {

TEST(StartupGates, RelaunchNamesTheRunningFileByItsFullPath) {
    const std::wstring self = tvx::ExecutablePath();
    ASSERT_GE(self.size(), 3u);
    EXPECT_EQ(self.substr(1, 2), L":\\");
    const std::wstring dir = tvx::test::ExeDir();
    EXPECT_EQ(self.compare(0, dir.size(), dir), 0) << "in the test's own folder";
    EXPECT_EQ(self.substr(self.size() - 4), L".exe");

    const SHELLEXECUTEINFOW request = tvx::MakeRelaunchRequest(self);
    EXPECT_EQ(request.cbSize, 112u);
    EXPECT_EQ(request.fMask, 0u);
    EXPECT_EQ(request.hwnd, nullptr);
    EXPECT_STREQ(request.lpVerb, L"runas");
    EXPECT_STREQ(request.lpFile, self.c_str());
    EXPECT_STREQ(request.lpParameters, L"/uac");
    EXPECT_EQ(request.lpDirectory, nullptr);
    EXPECT_EQ(request.nShow, SW_SHOWNORMAL);
}

TEST(StartupGates, OnlyTheRelaunchArgumentMarksARelaunchedCopy) {
    struct Case {
        const wchar_t* line;
        bool relaunch;
    };
    for (const Case& c :
         {Case{L"\"C:\\Program Files\\Tarnivex.exe\" /uac", true}, Case{L"Tarnivex.exe /UAC", true},
          Case{L"Tarnivex.exe /x /uac", true}, Case{L"Tarnivex.exe", false},
          Case{L"\"C:\\uac dir\\Tarnivex.exe\"", false},
          Case{L"C:\\uac\\Tarnivex.exe /uacx", false},
          Case{L"/uac", false},  // the program's own name, not an argument
          Case{L"", false}}) {
        EXPECT_EQ(tvx::CommandLineIsElevatedRelaunch(c.line), c.relaunch) << c.line;
    }
}

TEST(StartupGates, TheRunningInstanceMayPassTheGateAgain) {
    // A second main window of the same process is not a second instance.
    tvx::EnterSingleInstance();
    tvx::EnterSingleInstance();
    HANDLE other = ::CreateMutexW(nullptr, FALSE, tvx::kInstanceMutexName);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ::CloseHandle(other);
}

// While the gates run, the starting copy's own main window exists already (and its boxes would
// carry the title): the running copy is looked for only in other processes running
// Tarnivex.exe (the end-to-end cases start real copies beside another program's windows).
TEST(StartupGates, ASecondStartNeverTakesItsOwnWindowsForTheRunningOne) {
    EXPECT_EQ(tvx::FindMainWindow(), nullptr);
    tvx::RegisterMainWindowClass();
    const HWND main = ::CreateWindowExW(0, tvx::kMainWindowClass, L"Tarnivex", WS_POPUP, 0, 0, 10,
                                        10, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(main, nullptr);
    const HWND box = ::CreateWindowExW(0, L"STATIC", L"Tarnivex", WS_POPUP, 0, 0, 10, 10, main,
                                       nullptr, nullptr, nullptr);
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(::FindWindowExW(nullptr, nullptr, tvx::kMainWindowClass, nullptr), main);
    EXPECT_EQ(tvx::FindMainWindow(), nullptr);
    ::DestroyWindow(box);
    ::DestroyWindow(main);
}

}  // namespace
