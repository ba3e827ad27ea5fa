#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/optimisation_pass.h"
#include "engine/pass_turns.h"
#include "engine/tcp_tuning.h"
#include "engine/tuning_backup.h"
#include "engine/working_set.h"
#include "framework/log_file.h"
#include "framework/message_box.h"
#include "notify/toast.h"
#include "tests/support/netcon_double.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/toast_double.h"
#include "ui/tarnivex_dlg.h"

namespace {

using tvx::test::DisconnectTally;
using tvx::test::NetconDoubleSession;
using tvx::test::NetconRecord;
using tvx::test::TallyDisconnects;
using tvx::test::ToastDoubleSession;

unsigned long long Now() {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::vector<std::wstring> InterfaceKeys() {
    std::vector<std::wstring> keys;
    for (const std::wstring& name :
         tvx::test::SubkeyNames(HKEY_LOCAL_MACHINE, tvx::kInterfacesKey)) {
        keys.push_back(std::wstring(tvx::kInterfacesKey) + L"\\" + name);
    }
    return keys;
}

// True when every game-ping value holds the DWORD 1; false when every one is absent. Anything
// in between fails the test.
bool ValuesApplied() {
    int present = 0, total = 0;
    auto count = [&](const std::wstring& key, const wchar_t* name) {
        ++total;
        const auto value = tvx::test::ReadDword(HKEY_LOCAL_MACHINE, key, name);
        if (value) {
            EXPECT_EQ(*value, 1u) << "value under " << std::string(key.begin(), key.end());
            ++present;
        }
    };
    count(tvx::kMsmqKey, tvx::kNoDelayValue);
    for (const std::wstring& key : InterfaceKeys()) count(key, tvx::kAckFrequencyValue);
    EXPECT_TRUE(present == 0 || present == total) << present << " of " << total << " values set";
    return present == total;
}

void SetValuesDirectly() {
    tvx::test::WriteDword(HKEY_LOCAL_MACHINE, tvx::kMsmqKey, tvx::kNoDelayValue, 1);
    for (const std::wstring& key : InterfaceKeys()) {
        tvx::test::WriteDword(HKEY_LOCAL_MACHINE, key, tvx::kAckFrequencyValue, 1);
    }
}

void RemoveValuesDirectly() {
    tvx::test::DeleteValue(HKEY_LOCAL_MACHINE, tvx::kMsmqKey, tvx::kNoDelayValue);
    for (const std::wstring& key : InterfaceKeys()) {
        tvx::test::DeleteValue(HKEY_LOCAL_MACHINE, key, tvx::kAckFrequencyValue);
    }
}

unsigned long long KeyWriteTime(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    FILETIME written{};
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, &written);
    ::RegCloseKey(key);
    return (static_cast<unsigned long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

const NetconRecord* Find(const std::vector<NetconRecord>& records, const std::string& event,
                         const std::wstring& detail = {}) {
    for (const NetconRecord& r : records) {
        if (r.event == event && (detail.empty() || r.detail == detail)) return &r;
    }
    return nullptr;
}

int Count(const std::vector<NetconRecord>& records, const std::string& event) {
    int n = 0;
    for (const NetconRecord& r : records) n += r.event == event ? 1 : 0;
    return n;
}

// Notes when the trim ran and whether the values were already written by then.
class TrimTimes : public tvx::TrimObserver {
public:
    unsigned long long first = 0, last = 0;
    bool valuesWrittenBefore = false;
    void BeforeOpen(DWORD) override {
        if (first == 0) {
            first = Now();
            valuesWrittenBefore = ValuesApplied();
        }
    }
    void Visited(DWORD, bool) override { last = Now(); }
};

class OptimisationPass : public testing::Test {
protected:
    void SetUp() override {
        if (InterfaceKeys().empty()) {
            tvx::test::CreateKey(
                HKEY_LOCAL_MACHINE,
                std::wstring(tvx::kInterfacesKey) + L"\\{5A1F2C3D-0000-4000-8000-00000000000A}");
        }
        RemoveValuesDirectly();
        tvx::test::DeleteTree(HKEY_LOCAL_MACHINE, tvx::kTuningBackupKey);
        tvx::SetTrimObserver(&trim_);
    }
    void TearDown() override {
        tvx::SetTrimObserver(nullptr);
        RemoveValuesDirectly();
        tvx::test::DeleteTree(HKEY_LOCAL_MACHINE, tvx::kTuningBackupKey);
    }
    TrimTimes trim_;
};

TEST_F(OptimisationPass, StartRunsToastValuesTrimAndRestartInThatOrder) {
    ToastDoubleSession toasts;
    NetconDoubleSession netcon({"0 Wi-Fi"});
    ASSERT_TRUE(toasts.registered());
    ASSERT_TRUE(netcon.registered());
    tvx::OptimisationPasses passes;
    passes.request.gamePing = true;
    passes.request.memory = true;

    tvx::RunOptimisationPass(passes);

    const auto shows = tvx::test::ToastShows(toasts.Lines());
    ASSERT_EQ(shows.size(), 1u);
    EXPECT_EQ(shows[0].xml, tvx::ComposeToastXml(tvx::kApplyToastText));
    EXPECT_TRUE(ValuesApplied());
    // The values were written after the toast was shown...
    EXPECT_GE(KeyWriteTime(tvx::kMsmqKey), shows[0].time);
    for (const std::wstring& key : InterfaceKeys()) EXPECT_GE(KeyWriteTime(key), shows[0].time);
    // ...and before the trim, which ended before the connections were restarted.
    ASSERT_NE(trim_.first, 0u) << "no trim with the Memory option on";
    EXPECT_TRUE(trim_.valuesWrittenBefore);
    const auto records = netcon.Records();
    const NetconRecord* created = Find(records, "create-manager");
    ASSERT_NE(created, nullptr);
    EXPECT_LE(trim_.last, created->ticks);
    EXPECT_NE(Find(records, "connect", L"Wi-Fi"), nullptr);
}

TEST_F(OptimisationPass, StartWithoutMemoryOptionSkipsTheTrim) {
    ToastDoubleSession toasts;
    NetconDoubleSession netcon({"0 Wi-Fi", "7 Cable"});
    tvx::OptimisationPasses passes;
    passes.request.gamePing = true;

    tvx::RunOptimisationPass(passes);

    EXPECT_EQ(trim_.first, 0u);
    EXPECT_EQ(tvx::test::ToastShows(toasts.Lines()).size(), 1u);
    EXPECT_TRUE(ValuesApplied());
    const auto records = netcon.Records();
    EXPECT_NE(Find(records, "connect", L"Wi-Fi"), nullptr);
    EXPECT_EQ(Find(records, "connect", L"Cable"), nullptr);
    EXPECT_EQ(Count(records, "release-manager"), 1);
}

TEST_F(OptimisationPass, StopRemovesTheValuesAndRestartsConnectionsToo) {
    SetValuesDirectly();
    ToastDoubleSession toasts;
    NetconDoubleSession netcon({"2 Ethernet", "0 Wi-Fi"});
    tvx::OptimisationPasses passes;
    passes.request.memory = true;  // the trim belongs to START only

    tvx::RunOptimisationPass(passes);

    const auto shows = tvx::test::ToastShows(toasts.Lines());
    ASSERT_EQ(shows.size(), 1u);
    EXPECT_EQ(shows[0].xml, tvx::ComposeToastXml(tvx::kRevertToastText));
    EXPECT_FALSE(ValuesApplied());
    EXPECT_TRUE(tvx::test::KeyExists(HKEY_LOCAL_MACHINE, tvx::kMsmqKey));
    EXPECT_EQ(trim_.first, 0u);
    const auto records = netcon.Records();
    const NetconRecord* down = Find(records, "disconnect", L"Ethernet");
    const NetconRecord* up = Find(records, "connect", L"Ethernet");
    ASSERT_TRUE(down && up);
    EXPECT_GE(up->ticks - down->ticks, 3000ULL * 10000);
    EXPECT_NE(Find(records, "connect", L"Wi-Fi"), nullptr);
}

TEST_F(OptimisationPass, AValueThatCannotBeWrittenBringsASecondToastAtTheEnd) {
    ToastDoubleSession toasts;
    NetconDoubleSession netcon({"0 Wi-Fi"});
    // The first interface refuses new values.
    const std::wstring locked = InterfaceKeys().at(0);
    tvx::test::SetKeyDacl(HKEY_LOCAL_MACHINE, locked, L"D:(D;;0x6;;;WD)(A;;KA;;;WD)");
    tvx::OptimisationPasses passes;
    passes.request.gamePing = true;

    tvx::RunOptimisationPass(passes);
    tvx::test::SetKeyDacl(HKEY_LOCAL_MACHINE, locked, L"D:(A;;KA;;;WD)");

    const auto shows = tvx::test::ToastShows(toasts.Lines());
    ASSERT_EQ(shows.size(), 2u);
    // The request confirmed first, as always; then what went wrong and where to read more.
    EXPECT_EQ(shows[0].xml, tvx::ComposeToastXml(tvx::kApplyToastText));
    const std::wstring failure = tvx::FailureToastText(true, tvx::LogFilePath());
    EXPECT_EQ(shows[1].xml, tvx::ComposeToastXml(failure));
    EXPECT_NE(failure.find(tvx::kApplyFailedToastText), std::wstring::npos);
    EXPECT_NE(failure.find(L"\\Tarnivex\\Logs\\Tarnivex.log"), std::wstring::npos);
    const NetconRecord* released = Find(netcon.Records(), "release-manager");
    ASSERT_NE(released, nullptr);
    EXPECT_GE(shows[1].time, released->ticks) << "not at the end of the pass";

    // A pass without failures says nothing more.
    passes.request.gamePing = false;
    tvx::RunOptimisationPass(passes);
    EXPECT_EQ(tvx::test::ToastShows(toasts.Lines()).size(), 3u);
}

TEST(FailureToast, ThePathIsMadeSafeForTheDocument) {
    const std::wstring text = tvx::FailureToastText(false, L"C:\\Users\\<A&B's \"x\">\\log");
    EXPECT_EQ(text, std::wstring(tvx::kRevertFailedToastText) +
                        L"C:\\Users\\&lt;A&amp;B&apos;s &quot;x&quot;&gt;\\log");
}

// Presses START/STOP `presses` times as fast as the window's thread can, starting from game ping
// off, then checks that the passes which ran never overlapped and that the last one carried out
// the last request.
void PressQuickly(int presses) {
    ToastDoubleSession toasts;
    NetconDoubleSession netcon({"0 Wi-Fi"});
    CTarnivexDlg dlg;
    for (int i = 0; i < presses; ++i) dlg.StartOptimisationWorker(!dlg.m_bRunning);
    const bool lastRequest = dlg.m_bRunning != FALSE;
    EXPECT_EQ(dlg.m_bShowStop, dlg.m_bRunning);
    ASSERT_TRUE(tvx::Passes().turns.WaitForWorkers(120000));

    EXPECT_EQ(ValuesApplied(), lastRequest);

    const auto shows = tvx::test::ToastShows(toasts.Lines());
    ASSERT_FALSE(shows.empty());
    EXPECT_LE(shows.size(), static_cast<size_t>(presses));
    EXPECT_EQ(shows.back().xml,
              tvx::ComposeToastXml(lastRequest ? tvx::kApplyToastText : tvx::kRevertToastText));

    // Each pass: its toast, then its own run of the connection manager from creation to
    // release, with no record of another pass in between and none overlapping in time.
    const auto records = netcon.Records();
    ASSERT_EQ(Count(records, "create-manager"), static_cast<int>(shows.size()));
    size_t at = 0;
    unsigned long long previousEnd = 0;
    for (const auto& show : shows) {
        EXPECT_GE(show.time, previousEnd) << "a toast while another pass was still at work";
        ASSERT_LT(at, records.size());
        EXPECT_EQ(records[at].event, "create-manager");
        EXPECT_EQ(records[at].threadId, show.threadId) << "records of another pass";
        EXPECT_GE(records[at].ticks, show.time);
        while (at < records.size() && records[at].event != "release-manager") {
            EXPECT_EQ(records[at].threadId, show.threadId) << "interleaved: " << records[at].event;
            ++at;
        }
        ASSERT_LT(at, records.size());
        previousEnd = records[at].ticks;
        ++at;
    }
    EXPECT_EQ(at, records.size());
    std::printf("%d presses ran %zu passes\n", presses, shows.size());
}

TEST_F(OptimisationPass, TwentyQuickPressesEndInTheLastRequestedStateWithoutOverlap) {
    PressQuickly(20);  // ends on STOP
}

TEST_F(OptimisationPass, TwentyOneQuickPressesEndWithGamePingOn) {
    PressQuickly(21);  // ends on START
}

int AnswerYes(const std::wstring&, UINT) { return IDYES; }

// The exit comes while the pass has its first of four connected connections down. The values
// go at once; the program's end then waits only as long as the pass needs to bring that one
// back, and by then every disconnect has its connect and no other connection was taken down.
TEST_F(OptimisationPass, ExitDuringAPassLeavesTheValuesRemovedAndNoConnectionDown) {
    ToastDoubleSession toasts;
    NetconDoubleSession netcon({"2 Ethernet 1", "2 Ethernet 2", "2 Ethernet 3", "2 Ethernet 4"});
    CTarnivexDlg dlg;
    dlg.StartOptimisationWorker(TRUE);
    // Wait until the pass is in its first pause, with the values written.
    const DWORD start = ::GetTickCount();
    while (!Find(netcon.Records(), "disconnect") && ::GetTickCount() - start < 20000) {
        ::Sleep(20);
    }
    ASSERT_NE(Find(netcon.Records(), "disconnect"), nullptr);
    EXPECT_TRUE(ValuesApplied());
    // Two more presses whose workers now wait for their turn.
    dlg.StartOptimisationWorker(FALSE);
    dlg.StartOptimisationWorker(TRUE);

    tvx::SetMessageBoxHook(&AnswerYes);
    dlg.OnTrayExit();
    tvx::SetMessageBoxHook(nullptr);
    EXPECT_FALSE(ValuesApplied());
    // A press that still reaches the window starts nothing.
    dlg.StartOptimisationWorker(TRUE);

    // What the program's end does before the process goes.
    const ULONGLONG ending = ::GetTickCount64();
    ASSERT_TRUE(tvx::WaitForPassesToEnd(tvx::Passes()));
    EXPECT_LT(::GetTickCount64() - ending, 3000ULL + tvx::kPassEndMarginMs);
    const auto records = netcon.Records();
    const DisconnectTally tally = TallyDisconnects(records);
    EXPECT_TRUE(tally.leftDown.empty()) << "left down: " << testing::PrintToString(tally.leftDown);
    EXPECT_EQ(tally.down, 1) << "a connection was taken down after the exit";
    EXPECT_FALSE(ValuesApplied()) << "a pass wrote the values after the exit";
    // The waiting passes and the late press did nothing: no toast of theirs, no restart.
    EXPECT_EQ(tvx::test::ToastShows(toasts.Lines()).size(), 1u);
    EXPECT_EQ(Count(records, "create-manager"), 1);
}

}  // namespace
