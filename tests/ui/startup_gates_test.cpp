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

TEST(StartupGates, ASecondStartFindsTheMainWindowNotItsMessageBox) {
    EXPECT_EQ(tvx::FindMainWindow(), nullptr);
    const HWND main = ::CreateWindowExW(0, L"STATIC", L"Tarnivex", WS_POPUP, 0, 0, 10, 10, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    // Created later, so found first by title: a box owned by the main window.
    const HWND box = ::CreateWindowExW(0, L"STATIC", L"Tarnivex", WS_POPUP, 0, 0, 10, 10, main,
                                       nullptr, nullptr, nullptr);
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(::FindWindowW(nullptr, L"Tarnivex"), box) << "the box must come first by title";
    EXPECT_EQ(tvx::FindMainWindow(), main);
    ::DestroyWindow(box);
    ::DestroyWindow(main);
}

}  // namespace
