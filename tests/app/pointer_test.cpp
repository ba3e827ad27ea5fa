// Presses on the running program's window: the gear, the cross, START/STOP and the body.
#include "engine/tcp_tuning.h"
#include "res/resource.h"
#include "tests/app/app_fixture.h"
#include "tests/support/schtasks_double.h"

namespace tvx::test {
namespace {

using PointerTest = AppTest;

TEST_F(PointerTest, OpensAt500By800ShowingStart) {
    Launch();
    RECT rc{};
    ::GetClientRect(wnd_, &rc);
    EXPECT_EQ(rc.right - rc.left, 500);
    EXPECT_EQ(rc.bottom - rc.top, 800);
    EXPECT_TRUE(TrayIconExists(wnd_, 1));
    ExpectLooksLike(L"start");
}

TEST_F(PointerTest, GearOpensTheSettingsMenuAndEscapeClosesIt) {
    Launch();
    Press(wnd_, kGear.x, kGear.y);
    HWND menu = FindPopupMenu(app_.pid(), 5000);
    ASSERT_NE(menu, nullptr) << "no menu after a press on the gear";
    // Its top-left corner lies at the gear's bottom-left corner.
    RECT rc{};
    ::GetWindowRect(menu, &rc);
    POINT anchor{412, 48};
    ::ClientToScreen(wnd_, &anchor);
    EXPECT_EQ(rc.left, anchor.x);
    EXPECT_EQ(rc.top, anchor.y);
    EXPECT_TRUE(CloseMenuWithEscape());
    EXPECT_TRUE(::IsWindowVisible(wnd_));
    EXPECT_EQ(StoredText(L"AutoRun"), L"(missing)");  // nothing chosen, nothing stored
}

TEST_F(PointerTest, CrossHidesTheWindowAndTheTrayBringsItBack) {
    Launch();
    Press(wnd_, kCross.x, kCross.y);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(wnd_); }, 5000)) << "still visible";
    EXPECT_TRUE(TrayIconExists(wnd_, 1));
    EXPECT_EQ(FindMessageBox(app_.pid(), 300), nullptr);  // no question asked

    // Another icon id does nothing; the first button press on our icon shows the window.
    ::PostMessageW(wnd_, WM_APP + 1, 2, WM_LBUTTONDOWN);
    ::Sleep(300);
    EXPECT_FALSE(::IsWindowVisible(wnd_));
    ::PostMessageW(wnd_, WM_APP + 1, 1, WM_LBUTTONDBLCLK);
    ::Sleep(300);
    EXPECT_FALSE(::IsWindowVisible(wnd_));
    ::PostMessageW(wnd_, WM_APP + 1, 1, WM_LBUTTONDOWN);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(wnd_) != FALSE; }, 5000));
}

TEST_F(PointerTest, TrayMenuOpensWhileHiddenAndItsOpenCommandShowsTheWindow) {
    Launch();
    Press(wnd_, kCross.x, kCross.y);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(wnd_); }, 5000));
    ::PostMessageW(wnd_, WM_APP + 1, 1, WM_RBUTTONDOWN);
    ASSERT_NE(FindPopupMenu(app_.pid(), 5000), nullptr) << "no tray menu";
    EXPECT_FALSE(::IsWindowVisible(wnd_));
    ASSERT_TRUE(CloseMenuWithEscape());
    ::PostMessageW(wnd_, WM_COMMAND, ID_TRAY_OPEN, 0);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(wnd_) != FALSE; }, 5000));
}

TEST_F(PointerTest, StartAppliesTheTuningAndShowsStopThenStopRemovesIt) {
    Launch();
    Press(wnd_, kStart.x, kStart.y);
    EXPECT_TRUE(WaitUntil(TuningApplied, 20000)) << "values not written";
    ExpectLooksLike(L"stop");
    // The worker confirms with a toast.
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const auto& show : ToastShows(toasts_->Lines())) {
                if (show.xml.find(L"게임핑이 성공적으로 동작 중입니다.") != std::wstring::npos)
                    return true;
            }
            return false;
        },
        10000))
        << "no START toast";

    // Hiding and showing again keeps the state: still STOP, values still written.
    Press(wnd_, kCross.x, kCross.y);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(wnd_); }, 5000));
    ::PostMessageW(wnd_, WM_COMMAND, ID_TRAY_OPEN, 0);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(wnd_) != FALSE; }, 5000));
    EXPECT_TRUE(TuningApplied());
    ExpectLooksLike(L"stop");

    Press(wnd_, kStart.x, kStart.y);
    EXPECT_TRUE(WaitUntil(TuningAbsent, 20000)) << "values not removed";
    ExpectLooksLike(L"start");
}

// The comparison's tolerance must still tell the two button states apart.
TEST(ScreenshotReferences, TellStartAndStopApart) {
    Image start, stop;
    ASSERT_TRUE(LoadPng(WindowsPathOf(TARNIVEX_REFERENCE_DIR) + L"\\start.png", &start));
    ASSERT_TRUE(LoadPng(WindowsPathOf(TARNIVEX_REFERENCE_DIR) + L"\\stop.png", &stop));
    const ImageDifference d = Compare(start, stop);
    ASSERT_TRUE(d.sameSize);
    EXPECT_FALSE(LooksAlike(d)) << "mean " << d.meanAbsolute << ", off " << d.fractionOver40 * 100
                                << "%";
}

// Presses that hit no button: the body, the strip between the gear and the cross, and the
// right and bottom edges of START. Each starts the move loop and does nothing else.
TEST_F(PointerTest, PressesOutsideTheButtonsOnlyDragTheWindow) {
    Launch();
    const POINT points[] = {{436, 24}, {451, 47}, {443, 36}, {320, 508}, {250, 542}, {100, 300}};
    for (const POINT& p : points) {
        SCOPED_TRACE(testing::Message() << "press at " << p.x << "," << p.y);
        ::PostMessageW(wnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        ::Sleep(200);
        // The release ends the move loop the press started.
        ::PostMessageW(wnd_, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        ::Sleep(200);
        EXPECT_EQ(FindPopupMenu(app_.pid(), 0), nullptr);
        EXPECT_TRUE(::IsWindowVisible(wnd_));
    }
    ::Sleep(1000);
    EXPECT_TRUE(TuningAbsent()) << "a press outside START started the pass";
    EXPECT_TRUE(ToastShows(toasts_->Lines()).empty()) << "a toast was shown";
    ExpectLooksLike(L"start");
}

TEST_F(PointerTest, DraggingTheBodyMovesTheWindow) {
    Launch();
    ::SetForegroundWindow(wnd_);
    RECT before{};
    ::GetWindowRect(wnd_, &before);
    auto moveTo = [](int x, int y) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dx = x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        ::SendInput(1, &in, sizeof in);
        ::Sleep(100);
    };
    auto button = [](DWORD flag) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flag;
        ::SendInput(1, &in, sizeof in);
        ::Sleep(150);
    };
    // Grab the strip between the gear and the cross.
    const int x = before.left + 443, y = before.top + 36;
    moveTo(x, y);
    button(MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 5; ++step) moveTo(x + step * 8, y + step * 6);
    button(MOUSEEVENTF_LEFTUP);
    RECT after{};
    EXPECT_TRUE(WaitUntil(
        [&] {
            ::GetWindowRect(wnd_, &after);
            return after.left == before.left + 40 && after.top == before.top + 30;
        },
        3000))
        << "window at " << after.left << "," << after.top << " from " << before.left << ","
        << before.top;
    EXPECT_EQ(FindPopupMenu(app_.pid(), 0), nullptr);

    // Grabbed low on its body and pulled up past the top of the screen, it stops with its
    // title strip still on the work area.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int lowX = after.left + 100, lowY = after.top + 700;
    moveTo(lowX, lowY);
    button(MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 8; ++step) moveTo(lowX, lowY - step * (lowY - work.top) / 8);
    button(MOUSEEVENTF_LEFTUP);
    RECT pulled{};
    EXPECT_TRUE(WaitUntil(
        [&] {
            ::GetWindowRect(wnd_, &pulled);
            return pulled.left == after.left && pulled.top == work.top;
        },
        3000))
        << "window at " << pulled.left << "," << pulled.top << ", work area top " << work.top;
}

}  // namespace
}  // namespace tvx::test
