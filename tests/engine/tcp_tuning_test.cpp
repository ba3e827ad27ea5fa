// Switching the game-ping values on and off against Wine's registry, output compared byte for
// byte as it arrives through a pipe.
#include <gtest/gtest.h>

#include <string>

#include "engine/tcp_tuning.h"
#include "framework/std_output.h"
#include "tests/engine/engine_test_env.h"
#include "tests/support/registry_test_util.h"

namespace tvx::test {
namespace {

// Denies the read mask the walk tests with, allows everything else (including the cleanup).
constexpr wchar_t kDenyRead[] = L"D:(D;;0x20019;;;WD)(A;;KA;;;WD)";
constexpr wchar_t kDenyWrite[] = L"D:(D;;0x6;;;WD)(A;;KA;;;WD)";

std::string Repeat(const std::string& line, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += line;
    return out;
}

class TcpTuningTest : public TuningRegistryTest {
protected:
    static std::optional<DWORD> AckFrequency(const std::wstring& name) {
        return ReadDword(HKEY_LOCAL_MACHINE, InterfacePath(name), kAckFrequencyValue);
    }
    static bool HasAckFrequency(const std::wstring& name) {
        return ReadValue(HKEY_LOCAL_MACHINE, InterfacePath(name), kAckFrequencyValue).has_value();
    }
};

TEST_F(TcpTuningTest, ApplyWritesEveryValueAndCreatesTheMsmqKey) {
    const ToolRun run = RunTool(L"apply");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, SetLine("TCPNoDelay") + Repeat(SetLine("TcpAckFrequency"), 3));
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue), 1u);
    for (const std::wstring& name : InterfaceNames()) {
        EXPECT_EQ(AckFrequency(name), 1u) << ToUtf8(name);
    }
}

TEST_F(TcpTuningTest, RevertDeletesTheValuesAndKeepsEveryKey) {
    RunTool(L"apply");
    const ToolRun run = RunTool(L"revert");
    EXPECT_EQ(run.output, DeletedLine("TCPNoDelay") + Repeat(DeletedLine("TcpAckFrequency"), 3));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kMsmqKey));
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue));
    ASSERT_EQ(InterfaceNames().size(), 3u);
    for (const std::wstring& name : InterfaceNames()) EXPECT_FALSE(HasAckFrequency(name));
}

TEST_F(TcpTuningTest, RevertWithNothingAppliedPrintsCodeTwoAndChangesNothing) {
    ToolRun run = RunTool(L"revert");
    EXPECT_EQ(run.output, OpenFailed(2) + Repeat(DeleteFailed(2), 3));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMsmqKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarnivex"));

    CreateKey(HKEY_LOCAL_MACHINE, kMsmqKey);
    run = RunTool(L"revert");
    EXPECT_EQ(run.output, Repeat(DeleteFailed(2), 4));
}

TEST_F(TcpTuningTest, WalkSkipsInterfacesThatCannotBeOpenedForReading) {
    const std::wstring denied = L"{0DEADBEE-0000-4000-8000-000000000001}";
    const std::wstring dangling = L"{0DEADBEE-0000-4000-8000-000000000002}";
    CreateKey(HKEY_LOCAL_MACHINE, InterfacePath(denied));
    SetKeyDacl(HKEY_LOCAL_MACHINE, InterfacePath(denied), kDenyRead);
    CreateDanglingLink(HKEY_LOCAL_MACHINE, InterfacePath(dangling));
    ASSERT_EQ(InterfaceNames().size(), 5u);  // both are listed by the enumeration

    ToolRun run = RunTool(L"apply");
    EXPECT_EQ(run.output, SetLine("TCPNoDelay") + Repeat(SetLine("TcpAckFrequency"), 3));
    run = RunTool(L"revert");
    EXPECT_EQ(run.output, DeletedLine("TCPNoDelay") + Repeat(DeletedLine("TcpAckFrequency"), 3));

    SetKeyDacl(HKEY_LOCAL_MACHINE, InterfacePath(denied), L"D:(A;;KA;;;WD)");
    EXPECT_FALSE(HasAckFrequency(denied));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kTestRoot) + L"\\Nowhere"));
}

TEST_F(TcpTuningTest, AnInterfaceAddedAfterApplyWaitsForTheNextApply) {
    RunTool(L"apply");
    const std::wstring late = L"{FFFFFFFF-0000-4000-8000-00000000000F}";  // enumerated last
    CreateKey(HKEY_LOCAL_MACHINE, InterfacePath(late));
    EXPECT_FALSE(HasAckFrequency(late));

    ToolRun run = RunTool(L"revert");
    EXPECT_EQ(run.output, DeletedLine("TCPNoDelay") + Repeat(DeletedLine("TcpAckFrequency"), 3) +
                              DeleteFailed(2));
    run = RunTool(L"apply");
    EXPECT_EQ(run.output, SetLine("TCPNoDelay") + Repeat(SetLine("TcpAckFrequency"), 4));
    EXPECT_EQ(AckFrequency(late), 1u);
}

TEST_F(TcpTuningTest, WithoutInterfacesKeyOnlyMsmqIsTouched) {
    ResetInterfaces({});
    DeleteTree(HKEY_LOCAL_MACHINE, kInterfacesKey);
    EXPECT_EQ(RunTool(L"apply").output, SetLine("TCPNoDelay"));
    EXPECT_EQ(RunTool(L"revert").output, DeletedLine("TCPNoDelay"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kInterfacesKey));
}

TEST_F(TcpTuningTest, AWriteFailureIsReportedAndTheWalkGoesOn) {
    const std::vector<std::wstring> names = InterfaceNames();
    SetKeyDacl(HKEY_LOCAL_MACHINE, InterfacePath(names[1]), kDenyWrite);
    ToolRun run = RunTool(L"apply");
    EXPECT_EQ(run.output, SetLine("TCPNoDelay") + SetLine("TcpAckFrequency") + CreateFailed(5) +
                              SetLine("TcpAckFrequency"));
    EXPECT_EQ(AckFrequency(names[0]), 1u);
    EXPECT_FALSE(HasAckFrequency(names[1]));
    EXPECT_EQ(AckFrequency(names[2]), 1u);

    run = RunTool(L"revert");
    EXPECT_EQ(run.output, DeletedLine("TCPNoDelay") + DeletedLine("TcpAckFrequency") +
                              OpenFailed(5) + DeletedLine("TcpAckFrequency"));
}

}  // namespace
}  // namespace tvx::test
