// The start-up timer's once-per-run sequence against the development server at the program's
// built-in addresses. Needs a display (windows and timers).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <thread>

#include "engine/optimisation_pass.h"
#include "engine/tcp_tuning.h"
#include "online/connection_state.h"
#include "online/launch_record.h"
#include "online/self_update.h"
#include "online/update_folder.h"
#include "online/update_reply.h"
#include "settings/settings_store.h"
#include "tests/online/dev_server_client.h"
#include "tests/online/message_box_recorder.h"
#include "tests/online/test_window.h"
#include "tests/online/update_client_marker.h"
#include "tests/support/app_driver.h"
#include "tests/support/registry_test_util.h"
#include "ui/tarnivex_dlg.h"

namespace {

using namespace tvx::test;

const wchar_t kUnreachable[] = L"서버에 접속할 수 없습니다.";
const wchar_t kPrompt[] = L"새로운 버전이 출시되었습니다! 최신 버전으로 업데이트하시겠습니까?";
const wchar_t kMsmqKey[] = L"SOFTWARE\\Microsoft\\MSMQ";

BOOL Offline() { return FALSE; }

std::wstring Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return tvx::FormatLaunchDate(local);
}

std::string ClientOffer(const char* version) {
    const std::wstring url = ServerUrl(L"/files/tarnivex_update_client_signed.exe");
    return std::string(version) + "#" + std::string(url.begin(), url.end()) + "\r\n";
}

// Driven tick by tick: the test calls the timer handler itself.
using TimedWindow = TestWindow;

class StartupTimer : public ::testing::Test {
protected:
    void SetUp() override {
        ResetServer();
        RemoveGamePing();
        DeleteTree(HKEY_CURRENT_USER, tvx::kLaunchKey);
        DeleteTree(HKEY_CURRENT_USER, tvx::kUpdateKey);
        DeleteUpdateClientMarker();
    }
    void TearDown() override {
        tvx::SetConnectedStateProbe(nullptr);
        RemoveGamePing();
        DeleteTree(HKEY_CURRENT_USER, tvx::kLaunchKey);
        DeleteTree(HKEY_CURRENT_USER, tvx::kUpdateKey);
        DeleteUpdateClientMarker();
    }

    int UpdateChecks() { return RequestCount("/app/update/client.php"); }

    // Game ping switched on by an automatic start: its worker ends, and leaves the values.
    static bool AutomaticStartApplied() {
        return tvx::Passes().turns.WaitForWorkers(30000) &&
               ReadDword(HKEY_LOCAL_MACHINE, kMsmqKey, tvx::kNoDelayValue) == 1u;
    }
    static void RemoveGamePing() {
        tvx::Passes().turns.WaitForWorkers(30000);
        DeleteValue(HKEY_LOCAL_MACHINE, kMsmqKey, tvx::kNoDelayValue);
        for (const std::wstring& name : SubkeyNames(HKEY_LOCAL_MACHINE, tvx::kInterfacesKey)) {
            DeleteValue(HKEY_LOCAL_MACHINE, std::wstring(tvx::kInterfacesKey) + L"\\" + name,
                        tvx::kAckFrequencyValue);
        }
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarnivex");
    }
};

TEST_F(StartupTimer, NothingHappensWhileOfflineOrForOtherTimers) {
    MessageBoxRecorder boxes;
    TimedWindow window;
    window.m_bAutoPing = TRUE;

    tvx::SetConnectedStateProbe(&Offline);
    for (int tick = 0; tick < 3; ++tick) window.OnTimer(kStartupTimerId);
    tvx::SetConnectedStateProbe(nullptr);
    window.OnTimer(kStartupTimerId + 1);

    EXPECT_EQ(RequestCount("/count.php"), 0);
    EXPECT_EQ(UpdateChecks(), 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tvx::kLaunchKey));
    EXPECT_FALSE(window.m_bRunning);
    EXPECT_FALSE(window.m_bShowStop);
    EXPECT_TRUE(boxes.boxes().empty());
    // Still waiting: the timer keeps ticking.
    EXPECT_TRUE(window.KillStartupTimer());
}

TEST_F(StartupTimer, FirstOnlineTickRunsTheSequenceOnceAndKillsTheTimer) {
    MessageBoxRecorder boxes;
    {
        TimedWindow window;
        window.OnTimer(kStartupTimerId);
        ASSERT_TRUE(window.RunSequence());
        EXPECT_EQ(ReportCount("live"), 1);
        EXPECT_EQ(ReportCount("run"), 1);
        EXPECT_EQ(UpdateChecks(), 1);
        EXPECT_EQ(ReadString(HKEY_CURRENT_USER, tvx::kLaunchKey, tvx::kLaunchValue), Today());
        EXPECT_FALSE(window.KillStartupTimer());

        // A tick after that (one already queued, say) finds the sequence done.
        window.OnTimer(kStartupTimerId);
        PumpUntil([] { return false; }, 300);
        EXPECT_EQ(ReportCount("run"), 1);
        EXPECT_EQ(UpdateChecks(), 1);
        EXPECT_FALSE(window.m_bRunning);  // AutoPing is off
    }
    // The next start on the same day: no daily report, but the per-run one again.
    TimedWindow again;
    again.OnTimer(kStartupTimerId);
    ASSERT_TRUE(again.RunSequence());
    EXPECT_EQ(ReportCount("live"), 1);
    EXPECT_EQ(ReportCount("run"), 2);
    EXPECT_EQ(UpdateChecks(), 2);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(StartupTimer, WithoutAnOfferAutoPingStartsGamePing) {
    MessageBoxRecorder boxes;
    WriteString(HKEY_CURRENT_USER, tvx::kUpdateKey, tvx::kUpdateValue, L"5");
    ConfigureServer("update", ClientOffer("5"));
    TimedWindow window;
    window.m_bAutoPing = TRUE;
    window.OnTimer(kStartupTimerId);
    ASSERT_TRUE(window.RunSequence());
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(window.m_bRunning);
    EXPECT_TRUE(window.m_bShowStop);
    EXPECT_TRUE(AutomaticStartApplied());
}

TEST_F(StartupTimer, UnreachableServerShowsOneMessageAndAutoPingStillStarts) {
    MessageBoxRecorder boxes;
    ConfigureServer("update", ClientOffer("7"));
    TimedWindow window;
    window.m_bAutoPing = TRUE;
    {
        ServerNotListening unreachable;
        window.OnTimer(kStartupTimerId);
        ASSERT_TRUE(window.RunSequence());
    }
    EXPECT_EQ(RequestCount("/count.php"), 0);
    EXPECT_EQ(UpdateChecks(), 0);

    // The message, and no offer.
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, kUnreachable);
    EXPECT_EQ(boxes.boxes()[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_TRUE(window.m_bRunning);
    EXPECT_TRUE(window.m_bShowStop);
    EXPECT_TRUE(AutomaticStartApplied());
    // The day was recorded before the reports, whatever became of them.
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, tvx::kLaunchKey, tvx::kLaunchValue), Today());
}

TEST_F(StartupTimer, DeclinedOfferMeansNoAutomaticStartAndNothingRecorded) {
    MessageBoxRecorder boxes(IDNO);
    ConfigureServer("update", ClientOffer("5"));
    TimedWindow window;
    window.m_bAutoPing = TRUE;
    window.OnTimer(kStartupTimerId);
    ASSERT_TRUE(window.RunSequence());

    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, kPrompt);
    EXPECT_EQ(boxes.boxes()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_FALSE(window.m_bRunning);
    EXPECT_FALSE(window.m_bShowStop);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tvx::kUpdateKey));
    EXPECT_EQ(ReportCount("update"), 0);
    EXPECT_FALSE(WaitForUpdateClientMarker(500));
}

// Sends the window WM_NULL every 20 ms, each with a time-out, from a thread of its own, and
// keeps the longest time the window took to answer.
class ResponsivenessProbe {
public:
    explicit ResponsivenessProbe(HWND window)
        : thread_([this, window] {
              while (!stop_) {
                  const ULONGLONG start = ::GetTickCount64();
                  DWORD_PTR answer = 0;
                  ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
                  longest_ = std::max<ULONGLONG>(longest_, ::GetTickCount64() - start);
                  ::Sleep(20);
              }
              ended_ = true;
          }) {}
    ~ResponsivenessProbe() { Stop(); }
    ResponsivenessProbe(const ResponsivenessProbe&) = delete;
    ResponsivenessProbe& operator=(const ResponsivenessProbe&) = delete;
    // Ends the probe; the longest answer in milliseconds. Called on the window's thread, which
    // keeps answering meanwhile: a message sent just before would otherwise wait for it until
    // its time-out, and that wait would be the test's, not the window's.
    ULONGLONG Stop() {
        stop_ = true;
        PumpUntil([this] { return ended_.load(); }, 30000);
        if (thread_.joinable()) thread_.join();
        return longest_;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<ULONGLONG> longest_{0};
    std::thread thread_;
};

// Every request of the sequence trickles a byte a second until its deadline: the window must
// keep answering throughout. The bound is loose on purpose (the benchmark measures the figure).
TEST_F(StartupTimer, TheWindowAnswersWhileTheServerTrickles) {
    MessageBoxRecorder boxes;
    ConfigureServer("mode", "trickle");
    TimedWindow window;
    window.m_bAutoPing = TRUE;
    ResponsivenessProbe probe(window.GetSafeHwnd());
    window.OnTimer(kStartupTimerId);
    PumpUntil([] { return false; }, 4000);
    EXPECT_FALSE(window.OnlineSequenceDone()) << "the trickle ended early";
    // Cut off (from another thread: this one keeps the window's messages flowing): what is left
    // of the sequence fails at once, as against a server that is gone.
    std::atomic<bool> cut{false};
    std::thread cutter([&] {
        SetListening(false);
        cut = true;
    });
    const bool ended = PumpUntil([&] { return cut && window.OnlineSequenceDone(); }, 60000);
    cutter.join();
    const ULONGLONG longest = probe.Stop();
    SetListening(true);
    ASSERT_TRUE(ended);
    EXPECT_LT(longest, 1000u) << "the window did not answer for " << longest << " ms";
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, kUnreachable);
    EXPECT_TRUE(window.m_bRunning);
    EXPECT_TRUE(AutomaticStartApplied());
}

// The tray's exit chosen while a message box of the sequence is open: its loop dispatches the
// tray's messages. When the box closes, the sequence must not undo the exit.
CTarnivexDlg* g_exiting = nullptr;
int ExitWhileTheBoxIsOpen(const std::wstring& text, UINT type) {
    if (text.find(L"그래도 종료하시겠습니까?") != std::wstring::npos) return IDYES;
    if (g_exiting) {
        CTarnivexDlg* window = std::exchange(g_exiting, nullptr);
        window->OnTrayExit();
    }
    return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
}

TEST_F(StartupTimer, ExitDuringTheUnreachableMessageStaysFinal) {
    TimedWindow window;
    window.m_bAutoPing = TRUE;
    g_exiting = &window;
    tvx::SetMessageBoxHook(&ExitWhileTheBoxIsOpen);
    {
        ServerNotListening unreachable;
        window.OnTimer(kStartupTimerId);
        PumpUntil([] { return g_exiting == nullptr; }, 30000);
        PumpUntil([] { return false; }, 300);
    }
    tvx::SetMessageBoxHook(nullptr);

    EXPECT_EQ(g_exiting, nullptr) << "no message box";
    EXPECT_TRUE(window.Ended());
    // No automatic start after the exit: nothing written while the program ends.
    EXPECT_TRUE(tvx::Passes().turns.WaitForWorkers(10000));
    EXPECT_FALSE(ReadDword(HKEY_LOCAL_MACHINE, kMsmqKey, tvx::kNoDelayValue));
    EXPECT_FALSE(window.m_bRunning);
}

TEST_F(StartupTimer, ExitDuringTheUpdateOfferDownloadsNothing) {
    ConfigureServer("update", ClientOffer("7"));
    TimedWindow window;
    g_exiting = &window;
    tvx::SetMessageBoxHook(&ExitWhileTheBoxIsOpen);
    window.OnTimer(kStartupTimerId);  // the offer is answered Yes, after the exit
    PumpUntil([] { return g_exiting == nullptr; }, 30000);
    PumpUntil([] { return false; }, 300);
    tvx::SetMessageBoxHook(nullptr);

    EXPECT_EQ(g_exiting, nullptr) << "no offer";
    EXPECT_TRUE(window.Ended());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tvx::kUpdateKey));
    EXPECT_EQ(ReportCount("update"), 0);
    EXPECT_EQ(RequestCount("/files/tarnivex_update_client_signed.exe"), 0);
    EXPECT_FALSE(WaitForUpdateClientMarker(500));
}

// The whole program window, run modally: the first online tick finds the offer, the user says
// Yes, the client is downloaded and started, and the dialog ends without touching the
// game-ping values.
class ModalWindow : public CTarnivexDlg {
public:
    static constexpr UINT_PTR kGiveUpTimerId = 77;

protected:
    BOOL OnInitDialog() override {
        const BOOL result = CTarnivexDlg::OnInitDialog();
        ::SetTimer(m_hWnd, kGiveUpTimerId, 60000, nullptr);
        return result;
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (msg == WM_TIMER && wParam == kGiveUpTimerId) {
            EndDialog(IDABORT);
            return true;
        }
        return CTarnivexDlg::OnMessage(msg, wParam, lParam, result);
    }
};

TEST_F(StartupTimer, AcceptedOfferRunsTheNewClientAndEndsTheDialog) {
    MessageBoxRecorder boxes(IDYES);
    ConfigureServer("update", ClientOffer("7"));
    WriteString(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kAutoPingValue, L"true");
    // Game ping is on: its value must survive the update.
    WriteDword(HKEY_LOCAL_MACHINE, kMsmqKey, L"TCPNoDelay", 1);

    ModalWindow window;
    EXPECT_EQ(window.DoModal(), IDCANCEL);

    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, kPrompt);
    const auto run = WaitForUpdateClientMarker(20000);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->path.rfind(tvx::UpdatesFolder() + L"\\", 0), 0u)
        << testing::PrintToString(run->path);
    // The window's initialisation took the single-instance mutex; the hand-over let it go first.
    EXPECT_TRUE(run->tookMutex);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, tvx::kUpdateKey, tvx::kUpdateValue), L"7");
    EXPECT_EQ(ReportCount("live"), 1);
    EXPECT_EQ(ReportCount("run"), 1);
    EXPECT_EQ(ReportCount("update"), 1);
    // Neither reverted nor started: an accepted offer skips the automatic start.
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kMsmqKey, L"TCPNoDelay"), 1u);
    EXPECT_FALSE(window.m_bRunning);

    DeleteValue(HKEY_LOCAL_MACHINE, kMsmqKey, L"TCPNoDelay");
    DeleteValue(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kAutoPingValue);
}

}  // namespace
