#include <gtest/gtest.h>

#include "online/usage_report.h"
#include "tests/online/dev_server_client.h"

namespace {

using namespace tvx::test;

std::wstring ReportUrl(const wchar_t* flag) {
    return ServerUrl(L"/count.php?id=tarnivex_client&flag=") + flag;
}

class UsageReport : public ::testing::Test {
protected:
    void SetUp() override { ResetServer(); }
};

TEST_F(UsageReport, EachReportReachesTheServerEvenWhenIdentical) {
    tvx::ReportUsage(ReportUrl(L"live"));
    tvx::ReportUsage(ReportUrl(L"run"));
    tvx::ReportUsage(ReportUrl(L"run"));
    tvx::ReportUsage(ReportUrl(L"update"));
    EXPECT_EQ(ReportCount("live"), 1);
    // The second identical GET was not answered from the cache.
    EXPECT_EQ(ReportCount("run"), 2);
    EXPECT_EQ(ReportCount("update"), 1);
}

TEST_F(UsageReport, LongOrEmptyRepliesAreHarmless) {
    std::string lines;
    for (int i = 0; i < 200000; ++i) lines += "line " + std::to_string(i) + "\n";
    ConfigureServer("count_body", lines);
    tvx::ReportUsage(ReportUrl(L"run"));
    ConfigureServer("count_body", "");
    tvx::ReportUsage(ReportUrl(L"run"));
    ConfigureServer("count_body", std::string(5 << 20, 'x'));
    tvx::ReportUsage(ReportUrl(L"run"));
    EXPECT_EQ(ReportCount("run"), 3);
}

TEST_F(UsageReport, UnreachableOrMisbehavingServerReturnsQuietly) {
    {
        ServerNotListening unreachable;
        EXPECT_NO_THROW(tvx::ReportUsage(ReportUrl(L"run")));
    }
    EXPECT_EQ(ReportCount("run"), 0);
    // Either outcome of a hang-up (a broken connection or an empty reply) must pass quietly.
    for (const char* mode : {"close", "malformed"}) {
        ConfigureServer("mode", mode);
        EXPECT_NO_THROW(tvx::ReportUsage(ReportUrl(L"run")));
    }
    ConfigureServer("mode", "normal");
    // Both requests arrived (WinINet may send again once on a connection closed without reply).
    EXPECT_GE(ReportCount("run"), 2);
}

}  // namespace
