// The self-update against the development server: only a client signed by a listed certificate
// and fetched over https at every hop is ever started, and then the program hands over to it.
#include <gtest/gtest.h>

#include "online/client_download.h"
#include "online/self_update.h"
#include "online/update_folder.h"
#include "online/update_reply.h"
#include "tests/online/dev_server_client.h"
#include "tests/online/message_box_recorder.h"
#include "tests/online/test_window.h"
#include "tests/online/update_client_marker.h"
#include "tests/support/registry_test_util.h"
#include "ui/startup_gates.h"
#include "ui/tarnivex_dlg.h"

namespace {

using namespace tvx::test;

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

}  // namespace
