// The self-update against the development server: only a client signed by a listed certificate
// and fetched over https at every hop is ever started, and then the program hands over to it.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "online/client_download.h"
#include "online/client_signature.h"
#include "online/client_version.h"
#include "online/self_update.h"
#include "online/update_folder.h"
#include "online/update_reply.h"
#include "tests/online/dev_server_client.h"
#include "tests/online/message_box_recorder.h"
#include "tests/online/test_window.h"
#include "tests/online/update_client_marker.h"
#include "tests/support/app_driver.h"
#include "tests/support/registry_test_util.h"
#include "ui/startup_gates.h"
#include "ui/tarnivex_dlg.h"

namespace {

using namespace tvx::test;

std::wstring KnownFolderPath(REFKNOWNFOLDERID id) {
    tvx::CoTaskMem<wchar_t> path;
    if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, path.put()))) return {};
    return path.get();
}
std::wstring InstallDir() { return KnownFolderPath(FOLDERID_ProgramFiles) + L"\\Tarnivex"; }

bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The names in a folder; none when it cannot be read.
std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return names;
}

// URLs of the test server are ASCII.
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A downloaded client that runs (or waits suspended) under its download name.
bool ClientProcessExists() { return !ProcessesNamed(L"tarnivex_client.exe").empty(); }

// The same server under another host name (the certificate names both).
std::wstring OtherHostUrl(const std::wstring& path) {
    std::wstring url = ServerUrl(path);
    url.replace(url.find(L"127.0.0.1"), 9, L"localhost");
    return url;
}

class SelfUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        ResetServer();
        DeleteTree(HKEY_CURRENT_USER, tvx::kUpdateKey);
        DeleteUpdateClientMarker();
        // The online sequence and the automatic start are not part of these cases.
        dlg_.KillStartupTimer();
        dlg_.m_bAutoPing = FALSE;
    }
    void TearDown() override {
        tvx::OverrideClientDownloadLimitsForTests(nullptr);
        tvx::SetClientResumedHookForTests(nullptr);
        tvx::OverrideUpdateSignersForTests(nullptr);
        tvx::FailClientResumeForTests(false);
        tvx::LeaveSingleInstance();
        // Whatever a faulty build started is ended here, after the case has looked for it, so
        // that it fails instead of hanging.
        for (const wchar_t* name : {L"tarnivex_client.exe", L"Tarnivex.exe", L"Un_A.exe"}) {
            KillAllNamed(name);
        }
        DeleteTree(HKEY_CURRENT_USER, tvx::kUpdateKey);
        DeleteUpdateClientMarker();
        tvx::RemoveLeftoverUpdateFolders();
    }

    // Accepts an offer of version 7 from the url; true when the program stayed running with
    // nothing recorded, nothing reported and nothing started.
    void ExpectRefused(const std::wstring& url, const wchar_t* message) {
        SCOPED_TRACE(testing::PrintToString(url));
        const size_t before = boxes_.boxes().size();
        dlg_.m_strServerVersion = L"7";
        dlg_.m_strUpdateUrl = url;
        dlg_.DownloadAndRunUpdate();
        // The download runs on a worker; the refusal comes back through the window.
        PumpUntil([&] { return boxes_.boxes().size() > before; }, 60000);
        ASSERT_EQ(boxes_.boxes().size(), before + 1);
        EXPECT_EQ(boxes_.boxes().back().text, message);
        EXPECT_FALSE(dlg_.ExitBegun()) << "the program ended";
        EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, tvx::kUpdateKey, tvx::kUpdateValue));
        EXPECT_EQ(ReportCount("update"), 0);
        EXPECT_FALSE(WaitForUpdateClientMarker(300)) << "the client ran";
        EXPECT_FALSE(ClientProcessExists()) << "the client was left behind";
    }

    TestWindow dlg_;
    MessageBoxRecorder boxes_;
};

TEST_F(SelfUpdate, ClientsThatAreNotOursAreNeverStarted) {
    // No signature; a publisher whose certificate is not listed (its authority is as good as the
    // system's answer goes); our signature over bytes changed afterwards, whose signer is ours and
    // which only the system's verdict refuses.
    for (const wchar_t* name : {L"unsigned", L"foreign", L"tampered"}) {
        ExpectRefused(ServerUrl(L"/files/tarnivex_update_client_") + name + L".exe",
                      tvx::kNotVerified);
    }
    // Each was downloaded: the refusal was the signature's, not the network's.
    EXPECT_EQ(RequestCount("/files/tarnivex_update_client_foreign.exe"), 1);
}

TEST_F(SelfUpdate, DownloadsThatBreakTheRulesAreRefused) {
    const std::wstring signedClient = ServerUrl(L"/files/tarnivex_update_client_signed.exe");
    // A redirect away from https, even to our own client (served over plain HTTP there).
    ExpectRefused(
        ServerUrl(L"/redirect?to=") + PlainServerUrl(L"/files/tarnivex_update_client_signed.exe"),
        tvx::kDownloadFailed);
    EXPECT_EQ(RequestCount("/files/tarnivex_update_client_signed.exe"), 0)
        << "followed the redirect";
    // More than 64 MiB, announced or not.
    ExpectRefused(ServerUrl(L"/big?mib=65&length=1"), tvx::kDownloadFailed);
    ExpectRefused(ServerUrl(L"/big?mib=64&extra=1&length=0"), tvx::kDownloadFailed);
    // A trickle that would never end (the deadline shortened for the test).
    tvx::DownloadLimits limits;
    limits.deadlineMs = 3000;
    tvx::OverrideClientDownloadLimitsForTests(&limits);
    ConfigureServer("files_mode", "trickle");
    const ULONGLONG start = ::GetTickCount64();
    ExpectRefused(signedClient, tvx::kDownloadFailed);
    EXPECT_LT(::GetTickCount64() - start, 30000u);
}

TEST_F(SelfUpdate, OurClientFromAnotherHttpsHostTakesOverTheProgram) {
    // Our instance, as after the window's initialisation.
    tvx::EnterSingleInstance();
    // The program stays right after the client's resume until the client has tried the
    // single-instance mutex: whatever is released only after the resume is then still held.
    tvx::SetClientResumedHookForTests([] { WaitForUpdateClientMarker(20000); });
    dlg_.m_strServerVersion = L"7 ";
    dlg_.m_strUpdateUrl = ServerUrl(L"/redirect?status=307&to=") +
                          OtherHostUrl(L"/files/tarnivex_update_client_signed.exe");
    dlg_.DownloadAndRunUpdate();
    PumpUntil([&] { return dlg_.Ended() || !boxes_.boxes().empty(); }, 60000);

    EXPECT_TRUE(boxes_.boxes().empty()) << testing::PrintToString(boxes_.boxes().at(0).text);
    const auto run = WaitForUpdateClientMarker(20000);
    ASSERT_TRUE(run);
    // It ran from its protected folder and found the single-instance mutex free.
    EXPECT_EQ(run->path.rfind(tvx::UpdatesFolder() + L"\\", 0), 0u)
        << testing::PrintToString(run->path);
    EXPECT_TRUE(run->tookMutex) << "the new client met our mutex";
    // Recorded exactly as the server sent it, trailing space included.
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, tvx::kUpdateKey, tvx::kUpdateValue), L"7 ");
    EXPECT_EQ(ReportCount("update"), 1);
    EXPECT_TRUE(dlg_.Ended());
}

TEST_F(SelfUpdate, OnlyANewerSetupOfOursIsStartedNotOtherFilesWeSigned) {
    ::DeleteFileW((InstallDir() + L"\\uninstall.exe").c_str());
    ASSERT_FALSE(PathExists(InstallDir() + L"\\uninstall.exe"));
    // Each carries our valid signature: an older release (which a compromised server would
    // offer to bring back a fixed hole), the program itself, and our uninstaller.
    for (const wchar_t* name : {L"tarnivex_setup_older.exe", L"tarnivex_program_signed.exe",
                                L"tarnivex_uninstaller_signed.exe"}) {
        ExpectRefused(ServerUrl(L"/files/") + name, tvx::kNotNewerSetup);
        EXPECT_EQ(RequestCount("/files/" + Narrow(name)), 1);
    }
    EXPECT_FALSE(PathExists(InstallDir() + L"\\uninstall.exe")) << "a setup ran";
}

TEST_F(SelfUpdate, AFailedStartLeavesNoProcessAndTheProgramRunsOn) {
    tvx::EnterSingleInstance();
    tvx::FailClientResumeForTests(true);
    ExpectRefused(ServerUrl(L"/files/tarnivex_update_client_signed.exe"), tvx::kLaunchFailed);
    // This copy is the running instance again, and its folder is gone with the client.
    tvx::UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, tvx::kInstanceMutexName));
    EXPECT_TRUE(mutex) << "the single-instance mutex was not taken back";
    EXPECT_TRUE(FolderEntries(tvx::UpdatesFolder()).empty())
        << testing::PrintToString(FolderEntries(tvx::UpdatesFolder()));
}

TEST_F(SelfUpdate, ABuildThatTrustsNoSignerOffersNothing) {
    const std::vector<tvx::Fingerprint> none;
    tvx::OverrideUpdateSignersForTests(&none);
    ConfigureServer("update", "9#" + Narrow(ServerUrl(L"/files/tarnivex_setup_newer.exe")));
    EXPECT_FALSE(dlg_.CheckForUpdate(
        CTarnivexDlg::RequestUpdateCheck(ServerUrl(L"/app/update/client.php"))));
    // The check ran as always: the fields follow the reply.
    EXPECT_EQ(dlg_.m_strServerVersion, L"9");
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(RequestCount("/app/update/client.php"), 1);
}

}  // namespace
