#include <gtest/gtest.h>

#include "online/self_update.h"
#include "online/update_reply.h"
#include "tests/online/dev_server_client.h"
#include "tests/online/message_box_recorder.h"
#include "tests/online/update_client_marker.h"
#include "tests/support/registry_test_util.h"
#include "ui/tarnivex_dlg.h"

namespace {

using namespace tvx::test;

class SelfUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        ResetServer();
        DeleteTree(HKEY_CURRENT_USER, tvx::kUpdateKey);
        DeleteUpdateClientMarker();
        ::DeleteFileW(tvx::ClientDownloadPath().c_str());
    }
    void TearDown() override {
        DeleteTree(HKEY_CURRENT_USER, tvx::kUpdateKey);
        DeleteUpdateClientMarker();
    }

    void Offer(const std::wstring& version, const std::wstring& url) {
        dlg_.m_strServerVersion = version;
        dlg_.m_strUpdateUrl = url;
    }
    std::optional<std::wstring> Recorded() {
        return ReadString(HKEY_CURRENT_USER, tvx::kUpdateKey, tvx::kUpdateValue);
    }

    CTarnivexDlg dlg_;
    MessageBoxRecorder boxes_;
};

TEST_F(SelfUpdate, ClientIsDownloadedStartedRecordedAndReported) {
    Offer(L"7 ", ServerUrl(L"/files/tarnivex_update_client_signed.exe"));
    dlg_.DownloadAndRunUpdate();
    EXPECT_TRUE(boxes_.boxes().empty());
    const auto ranFrom = WaitForUpdateClientMarker(20000);
    ASSERT_TRUE(ranFrom);
    EXPECT_EQ(_wcsicmp(ranFrom->path.c_str(), tvx::ClientDownloadPath().c_str()), 0)
        << ranFrom->path;
    // Recorded exactly as the server sent it, trailing space included.
    EXPECT_EQ(Recorded(), L"7 ");
    EXPECT_EQ(ReportCount("update"), 1);
}

TEST_F(SelfUpdate, FailedDownloadKeepsTheOfferOpen) {
    Offer(L"7", L"https://127.0.0.1:1/files/tarnivex_client.exe");
    dlg_.DownloadAndRunUpdate();
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, tvx::kDownloadFailed);
    EXPECT_FALSE(Recorded());
    EXPECT_EQ(ReportCount("update"), 0);

    // Nothing but https is even fetched: the client would run with administrator rights.
    for (const wchar_t* url : {L"http://127.0.0.1:1/c.exe", L"file:///C:/windows/notepad.exe",
                               L"C:\\windows\\notepad.exe", L"0"}) {
        Offer(L"7", url);
        dlg_.DownloadAndRunUpdate();
        EXPECT_EQ(boxes_.boxes().back().text, tvx::kDownloadFailed);
    }
    EXPECT_EQ(boxes_.boxes().size(), 5u);
    EXPECT_FALSE(Recorded());
    EXPECT_EQ(RequestCount("/count.php"), 0);
}

TEST_F(SelfUpdate, ClientThatCannotStartKeepsTheOfferOpen) {
    // Plain text, and an error page (the download itself may succeed with the page's text).
    for (const wchar_t* path : {L"/files/not_a_program.txt", L"/files/no_such_client.exe"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(path)));
        Offer(L"7", ServerUrl(path));
        dlg_.DownloadAndRunUpdate();
        ASSERT_FALSE(boxes_.boxes().empty());
        EXPECT_TRUE(boxes_.boxes().back().text == tvx::kLaunchFailed ||
                    boxes_.boxes().back().text == tvx::kDownloadFailed);
    }
    EXPECT_EQ(boxes_.boxes().size(), 2u);
    EXPECT_EQ(boxes_.boxes()[0].text, tvx::kLaunchFailed);
    EXPECT_FALSE(Recorded());
    EXPECT_EQ(ReportCount("update"), 0);
}

}  // namespace
