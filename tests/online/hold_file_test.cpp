#include <gtest/gtest.h>

#include "online/self_update.h"

namespace {

TEST(HoldFileForLaunch, NobodyCanRewriteOrDeleteTheHeldFileButItStillRuns) {
    const std::wstring path = tvx::ClientDownloadPath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find(L"\\tarnivex_client.exe"), std::wstring::npos);

    // Any program will do as the held file; this test's own executable is at hand.
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    ASSERT_TRUE(::CopyFileW(self, path.c_str(), FALSE));
    {
        tvx::UniqueFileHandle held = tvx::HoldFileForLaunch(path);
        ASSERT_TRUE(held);

        const HANDLE writer = ::CreateFileW(path.c_str(), GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
        EXPECT_FALSE(::DeleteFileW(path.c_str()));
        EXPECT_FALSE(
            ::MoveFileExW(path.c_str(), (path + L".old").c_str(), MOVEFILE_REPLACE_EXISTING));

        // Starting it needs only read and execute access.
        std::wstring command = L"\"" + path + L"\" --gtest_list_tests";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &si, &pi))
            << ::GetLastError();
        ::WaitForSingleObject(pi.hProcess, 60000);
        DWORD code = 1;
        ::GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(code, 0u);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    EXPECT_TRUE(::DeleteFileW(path.c_str()));
    EXPECT_FALSE(tvx::HoldFileForLaunch(path));
}

}  // namespace
