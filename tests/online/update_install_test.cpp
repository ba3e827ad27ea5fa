// A self-update as a gamer meets it, with real processes: the program installed by an older
// setup takes the offer of a newer one from the development server at its built-in addresses,
// and ends; the setup installs over it and starts the new program from Program Files.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "online/update_reply.h"
#include "tests/online/dev_server_client.h"
#include "tests/support/app_driver.h"
#include "tests/support/process_util.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/schtasks_double.h"
#include "ui/startup_gates.h"

namespace {

using namespace tvx::test;

constexpr wchar_t kPrompt[] = L"새로운 버전이 출시되었습니다! 최신 버전으로 업데이트하시겠습니까?";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnivex";

std::wstring KnownFolderPath(REFKNOWNFOLDERID id) {
    tvx::CoTaskMem<wchar_t> path;
    if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, path.put()))) return {};
    return path.get();
}
std::wstring InstallDir() { return KnownFolderPath(FOLDERID_ProgramFiles) + L"\\Tarnivex"; }
std::wstring InstalledExe() { return InstallDir() + L"\\Tarnivex.exe"; }
std::wstring TestClient(const wchar_t* name) {
    return WindowsPathOf(TARNIVEX_TEST_CLIENTS) + L"\\" + name;
}

std::wstring ProcessImage(DWORD pid) {
    tvx::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!process || !::QueryFullProcessImageNameW(process.get(), 0, path, &size)) return {};
    return std::wstring(path, size);
}

void RemoveInstallation() {
    KillAllNamed(L"Tarnivex.exe");
    KillAllNamed(L"tarnivex_client.exe");
    for (const wchar_t* file : {L"\\Tarnivex.exe", L"\\uninstall.exe"}) {
        ::DeleteFileW((InstallDir() + file).c_str());
    }
    ::RemoveDirectoryW(InstallDir().c_str());
    ::DeleteFileW((KnownFolderPath(FOLDERID_CommonPrograms) + L"\\Tarnivex.lnk").c_str());
    DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    DeleteTree(HKEY_CURRENT_USER, tvx::kUpdateKey);
}

class UpdateInstall : public ::testing::Test {
protected:
    void SetUp() override {
        ResetServer();
        RemoveInstallation();
    }
    void TearDown() override { RemoveInstallation(); }
};

TEST_F(UpdateInstall, TheInstalledProgramIsReplacedByTheNewerSetupAndItsProgramRuns) {
    const ProcessResult older =
        RunCapture(L"\"" + TestClient(L"tarnivex_setup_older.exe") + L"\" /S", 60000);
    ASSERT_EQ(older.exitCode, 0u);
    ASSERT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"),
              std::to_wstring(TARNIVEX_TEST_NEXT_MAJOR - 2) + L".0.0");
    const std::wstring url = ServerUrl(L"/files/tarnivex_setup_newer.exe");
    ConfigureServer("update", "8#" + std::string(url.begin(), url.end()));

    AppProcess old = AppProcess::Start(InstalledExe());
    ASSERT_TRUE(old);
    const HWND box = FindMessageBox(old.pid(), 30000);
    ASSERT_NE(box, nullptr) << "no update offer";
    ASSERT_EQ(MessageBoxText(box), kPrompt);
    ASSERT_TRUE(ClickDialogButton(box, IDYES));

    // The old program ends; the setup replaces it and starts the new one from Program Files,
    // which is then the running instance: its window, its mutex.
    EXPECT_TRUE(old.WaitExit(60000)) << "the old program did not end";
    DWORD pid = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
            const HWND window = tvx::FindMainWindow();
            pid = 0;
            if (window) ::GetWindowThreadProcessId(window, &pid);
            return pid != 0 && pid != old.pid();
        },
        60000))
        << "no new program window";
    EXPECT_EQ(::lstrcmpiW(ProcessImage(pid).c_str(), InstalledExe().c_str()), 0)
        << testing::PrintToString(ProcessImage(pid));
    // The window exists before its initialisation takes the mutex.
    EXPECT_TRUE(WaitUntil(
        [] {
            return static_cast<bool>(
                tvx::UniqueHandle(::OpenMutexW(SYNCHRONIZE, FALSE, tvx::kInstanceMutexName)));
        },
        30000))
        << "nobody holds the single-instance mutex";
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"),
              std::to_wstring(TARNIVEX_TEST_NEXT_MAJOR) + L".0.0");
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, tvx::kUpdateKey, tvx::kUpdateValue), L"8");
    EXPECT_EQ(ReportCount("update"), 1);
}

}  // namespace
