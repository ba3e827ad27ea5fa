#include <gtest/gtest.h>

#include "online/update_reply.h"
#include "tests/online/dev_server_client.h"
#include "tests/online/memory_probe.h"
#include "tests/online/message_box_recorder.h"
#include "tests/support/registry_test_util.h"
#include "ui/tarnivex_dlg.h"

namespace {

using namespace tvx::test;

const wchar_t kUnreachable[] = L"서버에 접속할 수 없습니다.";

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ResetServer();
        DeleteTree(HKEY_CURRENT_USER, tvx::kUpdateKey);
    }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, tvx::kUpdateKey); }

    BOOL Check() {
        return dlg_.CheckForUpdate(
            CTarnivexDlg::RequestUpdateCheck(ServerUrl(L"/app/update/client.php")));
    }
    void Record(const std::wstring& version) {
        WriteString(HKEY_CURRENT_USER, tvx::kUpdateKey, tvx::kUpdateValue, version);
    }

    CTarnivexDlg dlg_;
    MessageBoxRecorder boxes_;
};

TEST_F(UpdateCheck, NewerVersionFromTheServerIsOffered) {
    ConfigureServer("update", "5#https://127.0.0.1/files/tarnivex_client.exe\r\n");
    EXPECT_TRUE(Check());
    EXPECT_EQ(dlg_.m_strServerVersion, L"5");
    EXPECT_EQ(dlg_.m_strUpdateUrl, L"https://127.0.0.1/files/tarnivex_client.exe");
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(RequestCount("/app/update/client.php"), 1);

    Record(L"3");
    EXPECT_TRUE(Check());
    // The same version, a later one, and one too long to read (which counts as nothing recorded).
    Record(L"5");
    EXPECT_FALSE(Check());
    Record(L"7");
    EXPECT_FALSE(Check());
    Record(L"9" + std::wstring(129, L'9'));
    EXPECT_TRUE(Check());
    // Nothing is recorded by the check itself.
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, tvx::kUpdateKey, tvx::kUpdateValue),
              L"9" + std::wstring(129, L'9'));
}

TEST_F(UpdateCheck, ReplyWithoutHashKeepsTheEarlierFields) {
    ConfigureServer("update", "6#https://127.0.0.1/a.exe");
    EXPECT_TRUE(Check());
    ConfigureServer("update", "<html>404 Not Found</html>");
    EXPECT_FALSE(Check());
    EXPECT_EQ(dlg_.m_strServerVersion, L"6");
    EXPECT_EQ(dlg_.m_strUpdateUrl, L"https://127.0.0.1/a.exe");
    // A reply with a "#" sets both fields even when it offers nothing.
    ConfigureServer("update", "0#http://127.0.0.1/b.exe");
    EXPECT_FALSE(Check());
    EXPECT_EQ(dlg_.m_strServerVersion, L"0");
    EXPECT_EQ(dlg_.m_strUpdateUrl, L"http://127.0.0.1/b.exe");
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(UpdateCheck, UnreachableServerShowsOneMessageAndOffersNothing) {
    // What it would offer, were it there.
    ConfigureServer("update", "5#https://127.0.0.1/a.exe");
    {
        ServerNotListening unreachable;
        EXPECT_FALSE(Check());
    }
    EXPECT_EQ(RequestCount("/app/update/client.php"), 0);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, kUnreachable);
    EXPECT_EQ(boxes_.boxes()[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(dlg_.m_strServerVersion, L"0");
    EXPECT_EQ(dlg_.m_strUpdateUrl, L"0");

    // A connection cut before the announced length: the offer that came whole is still no
    // reply, and the server could not be reached.
    ConfigureServer("mode", "short");
    EXPECT_FALSE(Check());
    ASSERT_EQ(boxes_.boxes().size(), 2u);
    EXPECT_EQ(boxes_.boxes()[1].text, kUnreachable);
    EXPECT_EQ(dlg_.m_strServerVersion, L"0");

    // A server that hangs up without a reply: some WinINet builds report a reset connection,
    // others (Wine) an empty reply; either way there is no offer and at most one message.
    ConfigureServer("mode", "close");
    EXPECT_FALSE(Check());
    EXPECT_LE(boxes_.boxes().size(), 3u);
    EXPECT_EQ(dlg_.m_strServerVersion, L"0");
}

TEST_F(UpdateCheck, HugeBodyIsNoOfferAndIsNotHeldInMemory) {
    // 256 MiB of lines that each look like an offer.
    ConfigureServer("mode", "huge");
    const SIZE_T before = PeakPrivateBytes();
    EXPECT_FALSE(Check());
    EXPECT_LT(PeakPrivateBytes() - before, SIZE_T{32} << 20);
    EXPECT_EQ(dlg_.m_strServerVersion, L"0");
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(UpdateCheck, MalformedReplyOffersNothing) {
    ConfigureServer("mode", "malformed");
    EXPECT_FALSE(Check());
}

TEST_F(UpdateCheck, StalledServerIsGivenUpAfterTheTimeout) {
    // The reply would be an offer, but it comes only after 25 s; the request gives up first.
    ConfigureServer("update", "5#https://127.0.0.1/a.exe");
    ConfigureServer("delay", "25");
    ConfigureServer("mode", "slow");
    EXPECT_FALSE(Check());
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, kUnreachable);
}

// A server that keeps the connection alive with one byte a second would hold the frozen window
// for hours under the per-call time-outs alone: the whole request has a deadline.
TEST_F(UpdateCheck, TricklingServerIsCutOffAtTheDeadline) {
    ConfigureServer("mode", "trickle");
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(Check());
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, kUnreachable);
    // 15 s from the start of the request, and not a trickle's worth more (the first bytes did
    // arrive, so it was no plain time-out).
    EXPECT_GE(elapsed, 14000u);
    EXPECT_LT(elapsed, 40000u);
}

}  // namespace
