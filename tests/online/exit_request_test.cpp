// "Tarnivex.exe /exit" against the real program in every state that holds its window's thread in
// a loop of its own or keeps a pass at work: the running copy ends within seconds, the game-ping
// values are gone as after the tray's exit, no connection is left down, and /exit answers 0.
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/app/app_fixture.h"
#include "tests/online/dev_server_client.h"
#include "tests/support/netcon_double.h"
#include "tests/support/process_util.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/schtasks_double.h"

namespace tvx::test {
namespace {

const wchar_t kUnreachable[] = L"서버에 접속할 수 없습니다.";
const wchar_t kPrompt[] = L"새로운 버전이 출시되었습니다! 최신 버전으로 업데이트하시겠습니까?";

std::string ClientOffer() {
    const std::wstring url = ServerUrl(L"/files/tarnivex_update_client_signed.exe");
    return "9#" + std::string(url.begin(), url.end());
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// The self-update's progress window of that process, shown.
HWND FindProgressWindow(DWORD pid) {
    for (HWND wnd : TopLevelWindows(pid)) {
        if (::IsWindowVisible(wnd) && ::GetDlgItem(wnd, IDC_UPDATE_TEXT)) return wnd;
    }
    return nullptr;
}

class ExitRequest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ResetServer();
    }
    void TearDown() override {
        AppTest::TearDown();
        ResetServer();
    }

    // Game ping on as a START leaves it, by the program's own tuning code in another process.
    static void ApplyGamePing() {
        ASSERT_EQ(RunCapture(Quoted(WindowsPathOf(TARNIVEX_TUNING_TOOL)) + L" apply").exitCode, 0u);
        ASSERT_TRUE(TuningApplied());
    }

    // Runs /exit and expects the running copy gone, as after the tray's exit.
    void ExpectExitEnds() {
        const HWND wnd = wnd_;
        const ULONGLONG start = ::GetTickCount64();
        const ProcessResult run = RunCapture(Quoted(ExePath()) + L" /exit", 60000);
        const ULONGLONG took = ::GetTickCount64() - start;
        ASSERT_FALSE(run.timedOut) << "/exit did not end";
        EXPECT_EQ(run.exitCode, 0u) << "after " << took << " ms";
        EXPECT_TRUE(app_.WaitExit(0)) << "the running copy is still there";
        EXPECT_LT(took, 20000u);
        EXPECT_TRUE(TuningAbsent());
        EXPECT_FALSE(TrayIconExists(wnd, 1));
    }
};

TEST_F(ExitRequest, EndsTheRunningCopyWhileTheUnreachableMessageIsOpen) {
    ASSERT_NO_FATAL_FAILURE(ApplyGamePing());
    ServerNotListening unreachable;
    ASSERT_NO_FATAL_FAILURE(Launch(ExePath(), false));
    ASSERT_NE(AwaitBox(kUnreachable, 20000), nullptr) << "no message";
    ExpectExitEnds();
}

TEST_F(ExitRequest, EndsTheRunningCopyWhileTheUpdateOfferIsOpen) {
    ASSERT_NO_FATAL_FAILURE(ApplyGamePing());
    ConfigureServer("update", ClientOffer());
    ASSERT_NO_FATAL_FAILURE(Launch(ExePath(), false));
    ASSERT_NE(AwaitBox(kPrompt, 20000), nullptr) << "no offer";
    ExpectExitEnds();
    // Answered No by the exit: nothing recorded, so the offer comes again at the next start.
    EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, L"Software\\Tarnivex\\Update", L"TarnivexClient"));
}

TEST_F(ExitRequest, EndsTheRunningCopyWhileTheDownloadIsShown) {
    ASSERT_NO_FATAL_FAILURE(ApplyGamePing());
    ConfigureServer("update", ClientOffer());
    ConfigureServer("files_mode", "trickle");  // a download that takes minutes
    ASSERT_NO_FATAL_FAILURE(Launch(ExePath(), false));
    const HWND offer = AwaitBox(kPrompt, 20000);
    ASSERT_NE(offer, nullptr) << "no offer";
    ASSERT_TRUE(ClickDialogButton(offer, IDYES));
    ASSERT_TRUE(WaitUntil([&] { return FindProgressWindow(app_.pid()) != nullptr; }, 20000))
        << "no progress window";
    ExpectExitEnds();
}

// Four connected connections: the pass takes them down one after another, three seconds each.
// The exit comes during the first pause; the end must bring back what the pass took down and
// take nothing else down.
TEST_F(ExitRequest, EndsDuringAPassWithEveryConnectionBackUp) {
    UseNetconConfig({"2 Ethernet 1", "2 Ethernet 2", "2 Ethernet 3", "2 Ethernet 4"});
    const std::wstring log = UseFreshNetconLog(L"tarnivex-exit-netcon.log");
    ASSERT_NO_FATAL_FAILURE(Launch());
    Press(wnd_, kStart.x, kStart.y);
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const NetconRecord& r : ReadNetconLog(log))
                if (r.event == "disconnect") return true;
            return false;
        },
        20000))
        << "the pass took no connection down";
    ExpectExitEnds();

    // The records as the process ended: each disconnect has its connect after it.
    const std::vector<NetconRecord> records = ReadNetconLog(log);
    const DisconnectTally tally = TallyDisconnects(records);
    EXPECT_TRUE(tally.leftDown.empty()) << "left down: " << testing::PrintToString(tally.leftDown);
    EXPECT_EQ(tally.down, 1) << "connections taken down after the exit began";
}

}  // namespace
}  // namespace tvx::test
