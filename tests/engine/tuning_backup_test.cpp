// Values that existed before START come back at STOP, with their own type and data, whatever
// happened in between: a second START, or a process killed half-way.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/tcp_tuning.h"
#include "engine/result_lines.h"
#include "engine/tuning_backup.h"
#include "framework/std_output.h"
#include "tests/engine/engine_test_env.h"
#include "tests/support/process_util.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/schtasks_double.h"

namespace tvx::test {
namespace {

class TuningBackupTest : public TuningRegistryTest {
protected:
    void SetUp() override {
        TuningRegistryTest::SetUp();
        names_ = InterfaceNames();
        ASSERT_EQ(names_.size(), 3u);
        // A user's TcpAckFrequency = 2 on the middle interface, and a TCPNoDelay kept by another
        // program as a REG_BINARY.
        WriteDword(HKEY_LOCAL_MACHINE, InterfacePath(names_[1]), kAckFrequencyValue, 2);
        WriteValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue, REG_BINARY, kBinary,
                   sizeof kBinary);
    }

    // The two values the user had: as they were, type and data.
    void ExpectUsersValues() {
        const auto noDelay = ReadValue(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue);
        ASSERT_TRUE(noDelay);
        EXPECT_EQ(noDelay->type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(noDelay->data, std::vector<BYTE>(std::begin(kBinary), std::end(kBinary)));
        const auto ack =
            ReadValue(HKEY_LOCAL_MACHINE, InterfacePath(names_[1]), kAckFrequencyValue);
        ASSERT_TRUE(ack);
        EXPECT_EQ(ack->type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(ack->data, (std::vector<BYTE>{2, 0, 0, 0}));
    }

    void ExpectOriginalsBack() {
        ExpectUsersValues();
        EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, InterfacePath(names_[0]), kAckFrequencyValue));
        EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, InterfacePath(names_[2]), kAckFrequencyValue));
        // Nothing of ours is left: the emptied store is gone, its parent too.
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTarnivexMachineKey));
    }

    static std::string RevertLines() {
        return RestoredLine("TCPNoDelay") + DeletedLine("TcpAckFrequency") +
               RestoredLine("TcpAckFrequency") + DeletedLine("TcpAckFrequency");
    }
    static std::string ApplyLines() {
        return SetLine("TCPNoDelay") + SetLine("TcpAckFrequency") + SetLine("TcpAckFrequency") +
               SetLine("TcpAckFrequency");
    }

    static constexpr BYTE kBinary[] = {0x02, 0x00, 0x7F};
    std::vector<std::wstring> names_;
};

TEST_F(TuningBackupTest, StartThenStopRestoresTypeAndData) {
    EXPECT_EQ(RunTool(L"apply").output, ApplyLines());
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, InterfacePath(names_[1]), kAckFrequencyValue), 1u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kMsmqKey, kNoDelayValue), 1u);
    EXPECT_EQ(RunTool(L"revert").output, RevertLines());
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, ASecondStartDoesNotTakeOurOwnOneForAnOriginal) {
    RunTool(L"apply");
    EXPECT_EQ(RunTool(L"apply").output, ApplyLines());
    EXPECT_EQ(RunTool(L"revert").output, RevertLines());
    ExpectOriginalsBack();
    // Once restored, a further STOP has nothing of ours left to undo: the missing values report
    // code 2 as usual and the originals stay.
    EXPECT_EQ(RunTool(L"revert").output, DeleteFailed(2) + DeleteFailed(2));
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, StopWithoutStartLeavesOthersValuesAlone) {
    EXPECT_EQ(RunTool(L"revert").output, DeleteFailed(2) + DeleteFailed(2));
    ExpectOriginalsBack();
    // A 1 with no record (left by a run that could keep no backup) is taken for ours.
    WriteDword(HKEY_LOCAL_MACHINE, InterfacePath(names_[2]), kAckFrequencyValue, 1);
    EXPECT_EQ(RunTool(L"revert").output, DeleteFailed(2) + DeletedLine("TcpAckFrequency"));
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, ALeftoverOneWithoutRecordIsTakenForOurs) {
    // Left by a run that kept no backup: STOP must remove it, not put it back.
    WriteDword(HKEY_LOCAL_MACHINE, InterfacePath(names_[0]), kAckFrequencyValue, 1);
    RunTool(L"apply");
    EXPECT_EQ(BackupEntries(kSavedSubkey), 2u);    // the two real originals
    EXPECT_EQ(BackupEntries(kCreatedSubkey), 2u);  // the leftover and the missing value
    EXPECT_EQ(RunTool(L"revert").output, RevertLines());
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, StartKilledAfterApplyThenStartStop) {
    EXPECT_EQ(RunToolUntilReadyThenKill(L"apply-hang"), ApplyLines());
    RunTool(L"apply");
    EXPECT_EQ(RunTool(L"revert").output, RevertLines());
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, StartKilledBetweenBackupAndWriteThenStartStop) {
    // Killed after recording each original (one existing, one missing) but before writing 1.
    RunToolUntilReadyThenKill(L"remember-hang \"" + InterfacePath(names_[1]) + L"\" " +
                              kAckFrequencyValue);
    RunToolUntilReadyThenKill(L"remember-hang \"" + InterfacePath(names_[0]) + L"\" " +
                              kAckFrequencyValue);
    EXPECT_EQ(BackupEntries(kSavedSubkey), 1u);
    EXPECT_EQ(BackupEntries(kCreatedSubkey), 1u);
    RunTool(L"apply");
    EXPECT_EQ(RunTool(L"revert").output, RevertLines());
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, AValueWhoseDeleteFailedStaysOursForTheNextStart) {
    RunTool(L"apply");
    SetKeyDacl(HKEY_LOCAL_MACHINE, InterfacePath(names_[0]), L"D:(D;;0x6;;;WD)(A;;KA;;;WD)");
    RunTool(L"revert");  // cannot delete the first interface's 1
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, InterfacePath(names_[0]), kAckFrequencyValue), 1u);
    SetKeyDacl(HKEY_LOCAL_MACHINE, InterfacePath(names_[0]), L"D:(A;;KA;;;WD)");

    RunTool(L"apply");
    EXPECT_EQ(RunTool(L"revert").output, RevertLines());
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, AnOriginalThatCannotBeKeptIsNeverOverwritten) {
    // The part for saved originals refuses reading and writing: no original can be kept.
    const std::wstring saved = std::wstring(kTuningBackupKey) + L"\\" + kSavedSubkey;
    CreateKey(HKEY_LOCAL_MACHINE, saved);
    SetKeyDacl(HKEY_LOCAL_MACHINE, saved, L"D:(D;;0x3;;;WD)(A;;KA;;;WD)");
    // The user's REG_BINARY and DWORD 2 stay, each with a line of its own; the values that did
    // not exist are created.
    EXPECT_EQ(RunTool(L"apply").output, NotKeptLine("TCPNoDelay") + SetLine("TcpAckFrequency") +
                                            NotKeptLine("TcpAckFrequency") +
                                            SetLine("TcpAckFrequency"));
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, InterfacePath(names_[1]), kAckFrequencyValue), 2u);
    // STOP removes what apply created and leaves the rest alone.
    EXPECT_EQ(RunTool(L"revert").output,
              DeletedLine("TcpAckFrequency") + DeletedLine("TcpAckFrequency"));
    SetKeyDacl(HKEY_LOCAL_MACHINE, saved, L"D:(A;;KA;;;WD)");
    DeleteTree(HKEY_LOCAL_MACHINE, kTarnivexMachineKey);
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, AFailedBackupWriteFlushOrValueWriteLeavesTheUsersValues) {
    // Each time one kind of registry call fails: the user's values stay as they were, apply
    // counts them as failed (the window's second notification), and a later STOP or /revert gives
    // back exactly the originals.
    const std::string notKept = NotKeptLine("TCPNoDelay") + SetLine("TcpAckFrequency") +
                                NotKeptLine("TcpAckFrequency") + SetLine("TcpAckFrequency");
    struct Case {
        const wchar_t* fault;
        std::string startLines;
        const char* stopLines;  // null: /revert instead of STOP
    };
    const std::string setFailed = SetFailed(ERROR_NO_SYSTEM_RESOURCES);
    const std::string restoredAndAbsent = RestoredLine("TCPNoDelay") + DeleteFailed(2) +
                                          RestoredLine("TcpAckFrequency") + DeleteFailed(2);
    const std::string createdRemoved =
        DeletedLine("TcpAckFrequency") + DeletedLine("TcpAckFrequency");
    const Case cases[] = {
        // Nothing could be saved: STOP removes the values apply created and keeps the others.
        {L"save-original 5", notKept, createdRemoved.c_str()},
        // Saved, but not known to be on disk.
        {L"flush-backup 1016", notKept, nullptr},
        // Saved and flushed, and then no write went through.
        {L"set-value 1450", setFailed + setFailed + setFailed + setFailed,
         restoredAndAbsent.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.fault)));
        const ToolRun start = RunTool(std::wstring(L"apply-failing ") + c.fault);
        EXPECT_EQ(start.exitCode, 1u) << "the failure was not counted";
        EXPECT_EQ(start.output, c.startLines);
        ExpectUsersValues();
        if (c.stopLines) {
            EXPECT_EQ(RunTool(L"revert").output, c.stopLines);
        } else {
            const ProcessResult revert =
                RunCapture(L"\"" + WindowsPathOf(TARNIVEX_EXE) + L"\" /revert", 20000);
            ASSERT_FALSE(revert.timedOut) << "/revert did not end by itself";
            EXPECT_EQ(revert.exitCode, 0u);
            EXPECT_EQ(revert.output, RevertLines());
        }
        ExpectOriginalsBack();
    }

    // A walk whose every step fails (the interfaces key deleted under it answers so at every
    // index) gives up and says so, instead of holding the tuning lock, and the exit, for ever.
    const ToolRun walk = RunTool(L"apply-failing enumerate 1018");
    EXPECT_EQ(walk.exitCode, 1u) << "the failure was not counted";
    EXPECT_NE(walk.output.find(tvx::ToUtf8(tvx::EnumFailedLine(ERROR_KEY_DELETED))),
              std::string::npos)
        << walk.output;
    RunTool(L"revert");
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, GamePingLeftOnOnlyWhileEveryRecordedValueHoldsOurOne) {
    EXPECT_FALSE(GamePingLeftOn());
    RunTool(L"apply");
    EXPECT_TRUE(GamePingLeftOn());
    // Someone else changed one of the values since: the machine is not as we left it.
    WriteDword(HKEY_LOCAL_MACHINE, InterfacePath(names_[2]), kAckFrequencyValue, 3);
    EXPECT_FALSE(GamePingLeftOn());
    WriteDword(HKEY_LOCAL_MACHINE, InterfacePath(names_[2]), kAckFrequencyValue, 1);
    EXPECT_TRUE(GamePingLeftOn());
    RunTool(L"revert");
    EXPECT_FALSE(GamePingLeftOn());
    ExpectOriginalsBack();
}

TEST_F(TuningBackupTest, StartAndStopRacingOnTwoThreadsKeepTheOriginals) {
    // Two workers of the window, in this process; their lines go nowhere.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    for (int round = 0; round < 40; ++round) {
        std::thread start([] { ApplyTcpTuning(); });
        std::thread stop([] { RevertTcpTuning(); });
        start.join();
        stop.join();
    }
    RevertTcpTuning();
    ::SetStdHandle(STD_OUTPUT_HANDLE, out);
    ExpectOriginalsBack();
}

TEST(RevertDecision, OnlyTheDwordOneCountsAsOurs) {
    const auto value = [](DWORD type, std::vector<BYTE> data) { return StoredValue{type, data}; };
    EXPECT_EQ(ClassifyCurrent(ERROR_SUCCESS, value(REG_DWORD, {1, 0, 0, 0})), CurrentValue::Ours);
    EXPECT_EQ(ClassifyCurrent(ERROR_SUCCESS, value(REG_DWORD, {2, 0, 0, 0})),
              CurrentValue::Foreign);
    EXPECT_EQ(ClassifyCurrent(ERROR_SUCCESS, value(REG_DWORD, {1, 0, 0, 1})),
              CurrentValue::Foreign);
    EXPECT_EQ(ClassifyCurrent(ERROR_SUCCESS, value(REG_BINARY, {1, 0, 0, 0})),
              CurrentValue::Foreign);
    EXPECT_EQ(ClassifyCurrent(ERROR_SUCCESS, value(REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0})),
              CurrentValue::Foreign);
    EXPECT_EQ(ClassifyCurrent(ERROR_SUCCESS, value(REG_DWORD, {1, 0})), CurrentValue::Foreign);
    EXPECT_EQ(ClassifyCurrent(ERROR_FILE_NOT_FOUND, {}), CurrentValue::Missing);
    EXPECT_EQ(ClassifyCurrent(ERROR_ACCESS_DENIED, {}), CurrentValue::Unknown);
}

}  // namespace
}  // namespace tvx::test
