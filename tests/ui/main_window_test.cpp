// The main window created in this process: initialisation, painting, presses and the tray.
#include <gtest/gtest.h>

#include "engine/optimisation_pass.h"
#include "engine/tcp_tuning.h"
#include "framework/message_box.h"
#include "registry_test_util.h"
#include "res/resource.h"
#include "app_driver.h"
#include "engine/tuning_backup.h"
#include "settings/settings_store.h"
#include "ui/tray.h"
#include "ui_test_util.h"

namespace {

using tvx::test::ClientPixel;
using tvx::test::MenuCloser;
using tvx::test::OpenMainWindow;
using tvx::test::PumpMessages;
using tvx::test::RepaintNow;
using tvx::test::SolidBitmap;

// Removes a posted window-moving request; returns its lParam, or -1 when none was posted.
LPARAM TakeMoveRequestFor(HWND hwnd) {
    MSG msg;
    if (!::PeekMessageW(&msg, hwnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) return -1;
    return msg.lParam;
}

bool TrayIconExists(const NOTIFYICONDATAW& nid) {
    NOTIFYICONDATAW probe = nid;
    return ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

TEST(MainWindow, InitialisationShapesTheWindowAndFillsTheRecord) {
    tvx::test::WriteString(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kAutoRunValue, L"false");
    tvx::test::WriteString(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kAutoPingValue, L"true");
    tvx::test::WriteString(HKEY_CURRENT_USER, tvx::kSettingsKey, tvx::kMemoryValue, L"True");

    CTarnivexDlg dlg;
    const HWND hwnd = dlg.Create();
    ASSERT_NE(hwnd, nullptr);
    // The start-up timer was running: killing it succeeds only for an existing timer.
    EXPECT_TRUE(::KillTimer(hwnd, kStartupTimerId));

    wchar_t title[64] = {};
    ::GetWindowTextW(hwnd, title, 64);
    EXPECT_STREQ(title, L"Tarnivex");
    EXPECT_EQ(::FindWindowW(nullptr, L"Tarnivex"), hwnd);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0) << "no caption, no frame";

    RECT window, client;
    ::GetWindowRect(hwnd, &window);
    ::GetClientRect(hwnd, &client);
    EXPECT_EQ(window.right - window.left, 500);
    EXPECT_EQ(window.bottom - window.top, 800);
    EXPECT_EQ(client.right, 500);
    // Centred on the work area.
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((window.left + window.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR(std::max((window.top + window.bottom) / 2, 400L),
                std::max((work.top + work.bottom) / 2, 400L), 1);

    // Rounded corners: the region covers the window but not its very corners.
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(hwnd, region), ERROR);
    RECT box;
    ::GetRgnBox(region, &box);
    // The rounded-rectangle region leaves out its last column and row, as on Windows.
    EXPECT_EQ(CRect(box.left, box.top, box.right, box.bottom), CRect(0, 0, 499, 799));
    EXPECT_FALSE(::PtInRegion(region, 0, 0));
    EXPECT_FALSE(::PtInRegion(region, 499, 799));
    EXPECT_TRUE(::PtInRegion(region, 10, 0));
    EXPECT_TRUE(::PtInRegion(region, 250, 400));
    ::DeleteObject(region);

    EXPECT_EQ(dlg.m_rcLogo, CRect(185, 258, 315, 391));
    EXPECT_EQ(dlg.m_rcSettings, CRect(412, 24, 436, 48));
    EXPECT_EQ(dlg.m_rcClose, CRect(452, 24, 476, 48));
    EXPECT_EQ(dlg.m_rcStart, CRect(180, 475, 320, 542));
    EXPECT_EQ(dlg.m_rcStop, CRect(180, 475, 320, 542));

    // Only the exact text "true" counts as on.
    EXPECT_FALSE(dlg.m_bAutoRun);
    EXPECT_TRUE(dlg.m_bAutoPing);
    EXPECT_FALSE(dlg.m_bMemory);
    EXPECT_FALSE(dlg.m_bRunning);
    EXPECT_FALSE(dlg.m_bShowStop);

    for (Gdiplus::Bitmap* image : {dlg.m_imgBackground, dlg.m_imgLogo, dlg.m_imgSettings,
                                   dlg.m_imgClose, dlg.m_imgStart, dlg.m_imgStop}) {
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok);
    }
    EXPECT_EQ(dlg.m_imgBackground->GetWidth(), 500u);
    EXPECT_EQ(dlg.m_imgStop->GetWidth(), 140u);

    const NOTIFYICONDATAW& nid = dlg.m_nid;
    EXPECT_EQ(nid.cbSize, 976u);
    EXPECT_EQ(nid.hWnd, hwnd);
    EXPECT_EQ(nid.uID, 1u);
    EXPECT_EQ(nid.uFlags, 7u);
    EXPECT_EQ(nid.uCallbackMessage, 0x8001u);
    EXPECT_NE(nid.hIcon, nullptr);
    EXPECT_STREQ(nid.szTip, L"Tarnivex");
    EXPECT_EQ(nid.dwState, 0u);
    EXPECT_EQ(nid.szInfo[0], L'\0');
    EXPECT_TRUE(TrayIconExists(nid));
    // The tray and the window's small icon are made at the small icon size of this DPI, the
    // large one at the large size, not scaled from one frame.
    const auto iconWidth = [](HICON icon) {
        ICONINFO info{};
        if (!icon || !::GetIconInfo(icon, &info)) return 0L;
        BITMAP bitmap{};
        ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        if (info.hbmColor) ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        return bitmap.bmWidth;
    };
    EXPECT_EQ(iconWidth(nid.hIcon), ::GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(iconWidth(reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0))),
              ::GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(iconWidth(reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0))),
              ::GetSystemMetrics(SM_CXICON));

    ::Shell_NotifyIconW(NIM_DELETE, &dlg.m_nid);
    ::DestroyWindow(hwnd);
    // The images went with the window.
    EXPECT_EQ(dlg.m_imgBackground, nullptr);
    EXPECT_EQ(dlg.m_imgStop, nullptr);
    tvx::test::DeleteTree(HKEY_CURRENT_USER, tvx::kSettingsKey);
}

// A DPI change (the window moved to another monitor, or the scaling changed) rescales
// everything at once; the Xvfb display of 1280 x 1024 cannot hold 1.5, so 144 DPI gives 1.24.
// A drag that would take the title strip off the work area is held on it.
TEST(MainWindow, ADpiChangeRescalesSizeRegionImagesAndHitAreasAndADragKeepsTheTitleOn) {
    tvx::test::DeleteValue(HKEY_LOCAL_MACHINE, tvx::kMsmqKey, tvx::kNoDelayValue);
    OpenMainWindow w;
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ASSERT_GE(work.bottom - work.top, 1000) << "needs the suite's 1280 x 1024 display";
    RECT before;
    ::GetWindowRect(w.hwnd(), &before);
    RECT suggested = {before.left - 10, work.top + 5, before.left - 10 + 750, work.top + 1205};
    ::SendMessageW(w.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                   reinterpret_cast<LPARAM>(&suggested));

    RECT window;
    ::GetWindowRect(w.hwnd(), &window);
    EXPECT_EQ(CRect(window.left, window.top, window.right, window.bottom),
              CRect(suggested.left, suggested.top, suggested.left + 620, suggested.top + 992));
    EXPECT_DOUBLE_EQ(w.dlg->m_scale, 1.24);
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(w.hwnd(), region), ERROR);
    RECT box;
    ::GetRgnBox(region, &box);
    ::DeleteObject(region);
    EXPECT_EQ(CRect(box.left, box.top, box.right, box.bottom), CRect(0, 0, 619, 991));
    EXPECT_EQ(w.dlg->m_rcSettings, CRect(511, 30, 541, 60));
    EXPECT_EQ(w.dlg->m_rcStart, CRect(223, 589, 397, 672));
    EXPECT_EQ(w.dlg->m_rcStop, w.dlg->m_rcStart);
    // The images come from the 150 % set, resampled once to the size they are drawn at.
    EXPECT_EQ(w.dlg->m_imgBackground->GetWidth(), 620u);
    EXPECT_EQ(w.dlg->m_imgBackground->GetHeight(), 992u);
    EXPECT_EQ(w.dlg->m_imgLogo->GetWidth(), 162u);
    EXPECT_EQ(w.dlg->m_imgStart->GetWidth(), 174u);
    EXPECT_EQ(w.dlg->m_imgStop->GetHeight(), 83u);

    // Presses hit the scaled areas: the old START corner now is body, the new one is START.
    w.dlg->OnLButtonDown(0, POINT{180, 475});
    EXPECT_FALSE(w.dlg->m_bRunning);
    EXPECT_EQ(TakeMoveRequestFor(w.hwnd()), MAKELPARAM(180, 475));
    w.dlg->OnLButtonDown(0, POINT{396, 671});
    EXPECT_TRUE(w.dlg->m_bRunning);
    w.dlg->OnLButtonDown(0, POINT{223, 589});
    EXPECT_FALSE(w.dlg->m_bRunning);
    ASSERT_TRUE(tvx::Passes().turns.WaitForWorkers(60000));

    // Dragged up by its lower body: the title strip stays on; sideways, 120 x 1.24 of it.
    RECT dragged = {100, work.top - 700, 720, work.top + 292};
    ::SendMessageW(w.hwnd(), WM_MOVING, WMSZ_TOP, reinterpret_cast<LPARAM>(&dragged));
    EXPECT_EQ(CRect(dragged.left, dragged.top, dragged.right, dragged.bottom),
              CRect(100, work.top, 720, work.top + 992));
    dragged = {work.right - 20, work.top + 10, work.right + 600, work.top + 1002};
    ::SendMessageW(w.hwnd(), WM_MOVING, WMSZ_TOP, reinterpret_cast<LPARAM>(&dragged));
    EXPECT_EQ(dragged.left, work.right - 149);

    // Back at 96 DPI the window is the 100 % skin again.
    suggested = {window.left, window.top, window.left + 500, window.top + 800};
    ::SendMessageW(w.hwnd(), WM_DPICHANGED, MAKEWPARAM(96, 96),
                   reinterpret_cast<LPARAM>(&suggested));
    ::GetWindowRect(w.hwnd(), &window);
    EXPECT_EQ(window.right - window.left, 500);
    EXPECT_EQ(window.bottom - window.top, 800);
    EXPECT_EQ(w.dlg->m_rcStart, CRect(180, 475, 320, 542));
    EXPECT_EQ(w.dlg->m_imgBackground->GetWidth(), 500u);
    EXPECT_EQ(w.dlg->m_imgStart->GetWidth(), 140u);
}

// --- painting -------------------------------------------------------------------------------

const Gdiplus::Color kBackground(255, 0, 0, 200);
const Gdiplus::Color kStart(255, 0, 200, 0);
const Gdiplus::Color kStop(255, 200, 0, 0);
const Gdiplus::Color kGear(255, 200, 200, 0);

// Replaces the window's images by solid ones (null where asked) and repaints.
void Skin(CTarnivexDlg& dlg, bool withStart, bool withStop) {
    for (Gdiplus::Bitmap** image : {&dlg.m_imgBackground, &dlg.m_imgLogo, &dlg.m_imgSettings,
                                    &dlg.m_imgClose, &dlg.m_imgStart, &dlg.m_imgStop}) {
        delete *image;
        *image = nullptr;
    }
    dlg.m_imgBackground = SolidBitmap(500, 800, kBackground);
    dlg.m_imgSettings = SolidBitmap(24, 24, kGear);
    if (withStart) dlg.m_imgStart = SolidBitmap(140, 67, kStart);
    if (withStop) dlg.m_imgStop = SolidBitmap(140, 67, kStop);
}

COLORREF Ref(const Gdiplus::Color& c) { return RGB(c.GetR(), c.GetG(), c.GetB()); }

TEST(MainWindowPaint, DrawsEachImageInItsPlaceAndChoosesStartOrStop) {
    OpenMainWindow w;
    Skin(*w.dlg, true, true);
    RepaintNow(w.hwnd());
    EXPECT_EQ(ClientPixel(w.hwnd(), 5, 700), Ref(kBackground));
    EXPECT_EQ(ClientPixel(w.hwnd(), 412, 24), Ref(kGear));
    EXPECT_EQ(ClientPixel(w.hwnd(), 411, 24), Ref(kBackground));
    EXPECT_EQ(ClientPixel(w.hwnd(), 250, 500), Ref(kStart));

    w.dlg->m_bShowStop = TRUE;
    RepaintNow(w.hwnd());
    EXPECT_EQ(ClientPixel(w.hwnd(), 250, 500), Ref(kStop));
    EXPECT_EQ(ClientPixel(w.hwnd(), 180, 475), Ref(kStop));
    EXPECT_EQ(ClientPixel(w.hwnd(), 320, 542), Ref(kBackground));
}

TEST(MainWindowPaint, MissingButtonImagesLeaveTheBackgroundShowing) {
    OpenMainWindow w;
    // Without the START image neither button is drawn, whatever the state says.
    Skin(*w.dlg, false, true);
    w.dlg->m_bShowStop = TRUE;
    RepaintNow(w.hwnd());
    EXPECT_EQ(ClientPixel(w.hwnd(), 250, 500), Ref(kBackground));
    // Without the STOP image, STOP shows the background.
    Skin(*w.dlg, true, false);
    RepaintNow(w.hwnd());
    EXPECT_EQ(ClientPixel(w.hwnd(), 250, 500), Ref(kBackground));
}

TEST(MainWindowPaint, NoImagesAtAllStillCompletesThePaint) {
    OpenMainWindow w;
    Skin(*w.dlg, false, false);
    delete w.dlg->m_imgBackground;
    delete w.dlg->m_imgSettings;
    w.dlg->m_imgBackground = w.dlg->m_imgSettings = nullptr;
    RepaintNow(w.hwnd());
    // The paint ran and validated the window: nothing is left to repaint.
    RECT update;
    EXPECT_FALSE(::GetUpdateRect(w.hwnd(), &update, FALSE));
}

// --- presses --------------------------------------------------------------------------------

// Removes a posted window-moving request; returns its lParam, or -1 when none was posted.
LPARAM TakeMoveRequest(HWND hwnd) {
    MSG msg;
    if (!::PeekMessageW(&msg, hwnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) return -1;
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(HTCAPTION));
    return msg.lParam;
}

TEST(MainWindowPointer, BodyPressesMoveTheWindowEdgesIncluded) {
    OpenMainWindow w;
    // Right and bottom edges of a button are outside it; the strip between gear and cross is body.
    for (POINT p : {POINT{320, 500}, POINT{250, 542}, POINT{436, 30}, POINT{451, 47}, POINT{10, 10},
                    POINT{476, 24}}) {
        w.dlg->OnLButtonDown(0, p);
        EXPECT_EQ(TakeMoveRequest(w.hwnd()), MAKELPARAM(p.x, p.y)) << p.x << "," << p.y;
        EXPECT_TRUE(::IsWindowVisible(w.hwnd()));
    }
    EXPECT_FALSE(w.dlg->m_bRunning);
}

TEST(MainWindowPointer, CloseOnlyHides) {
    OpenMainWindow w;
    w.dlg->m_bAutoPing = TRUE;
    w.dlg->OnLButtonDown(0, POINT{475, 47});
    EXPECT_FALSE(::IsWindowVisible(w.hwnd()));
    EXPECT_EQ(TakeMoveRequest(w.hwnd()), -1);
    EXPECT_TRUE(TrayIconExists(w.dlg->m_nid));
    EXPECT_TRUE(w.dlg->m_bAutoPing);
    EXPECT_FALSE(w.dlg->m_bRunning);
}

TEST(MainWindowPointer, SettingsMenuOpensUnderTheGearWithTheFlagsChecked) {
    OpenMainWindow w;
    for (BOOL on : {TRUE, FALSE}) {
        w.dlg->m_bAutoRun = on;
        w.dlg->m_bAutoPing = !on;
        w.dlg->m_bMemory = on;
        MenuCloser closer;
        w.dlg->OnLButtonDown(0, POINT{412, 24});
        EXPECT_TRUE(closer.shown);
        POINT anchor = {412, 48};
        ::ClientToScreen(w.hwnd(), &anchor);
        EXPECT_EQ(closer.rect.left, anchor.x);
        EXPECT_EQ(closer.rect.top, anchor.y);

        const HMENU popup = w.dlg->m_menuSettings.GetSubMenu(0);
        ASSERT_NE(popup, nullptr);
        auto checked = [&](UINT id) {
            return (::GetMenuState(popup, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
        };
        EXPECT_EQ(checked(ID_SETTINGS_AUTORUN), on != FALSE);
        EXPECT_EQ(checked(ID_SETTINGS_AUTOPING), on == FALSE);
        EXPECT_EQ(checked(ID_SETTINGS_MEMORY), on != FALSE);
        EXPECT_EQ(TakeMoveRequest(w.hwnd()), -1);
    }
}

TEST(MainWindowPointer, StartAndStopSwitchTheButtonAtOnce) {
    tvx::test::DeleteValue(HKEY_LOCAL_MACHINE, tvx::kMsmqKey, tvx::kNoDelayValue);
    OpenMainWindow w;
    ::ValidateRect(w.hwnd(), nullptr);
    w.dlg->OnLButtonDown(0, POINT{180, 475});
    EXPECT_TRUE(w.dlg->m_bRunning);
    EXPECT_TRUE(w.dlg->m_bShowStop);
    RECT update;
    ASSERT_TRUE(::GetUpdateRect(w.hwnd(), &update, FALSE));
    EXPECT_EQ(CRect(update.left, update.top, update.right, update.bottom), w.dlg->m_rcStart);

    w.dlg->OnLButtonDown(0, POINT{319, 541});
    EXPECT_FALSE(w.dlg->m_bRunning);
    EXPECT_FALSE(w.dlg->m_bShowStop);
    // The last state shown is off, and that is where the passes end.
    ASSERT_TRUE(tvx::Passes().turns.WaitForWorkers(60000));
    EXPECT_FALSE(tvx::test::ReadDword(HKEY_LOCAL_MACHINE, tvx::kMsmqKey, tvx::kNoDelayValue));
}

// START flips the button at once; when the pass then cannot write a value, the window shows what
// the machine holds (not in the game-ping state: START), as a fresh start would.
TEST(MainWindowPointer, AFailedStartShowsTheMachinesTrueState) {
    const std::wstring locked =
        std::wstring(tvx::kInterfacesKey) + L"\\" +
        tvx::test::SubkeyNames(HKEY_LOCAL_MACHINE, tvx::kInterfacesKey).at(0);
    tvx::test::SetKeyDacl(HKEY_LOCAL_MACHINE, locked, L"D:(D;;0x6;;;WD)(A;;KA;;;WD)");
    OpenMainWindow w;
    w.dlg->OnLButtonDown(0, POINT{250, 500});
    EXPECT_TRUE(w.dlg->m_bShowStop) << "the button did not flip at once";

    // The pass reports through the window's queue.
    EXPECT_TRUE(tvx::test::PumpUntil([&] { return !w.dlg->m_bShowStop; }, 30000));
    EXPECT_FALSE(w.dlg->m_bRunning);
    EXPECT_FALSE(tvx::GamePingLeftOn());

    tvx::test::SetKeyDacl(HKEY_LOCAL_MACHINE, locked, L"D:(A;;KA;;;WD)");
    tvx::RevertTcpTuning();
}

// --- tray -----------------------------------------------------------------------------------

TEST(MainWindowTray, PressesOnTheIconShowTheWindowOrItsMenu) {
    OpenMainWindow w;
    ::ShowWindow(w.hwnd(), SW_HIDE);
    // Another icon's messages and anything but the first press are ignored.
    w.dlg->OnTrayNotify(2, WM_LBUTTONDOWN);
    w.dlg->OnTrayNotify(1, WM_LBUTTONDBLCLK);
    w.dlg->OnTrayNotify(1, WM_LBUTTONUP);
    w.dlg->OnTrayNotify(1, WM_MOUSEMOVE);
    EXPECT_FALSE(::IsWindowVisible(w.hwnd()));
    {
        MenuCloser closer;
        w.dlg->OnTrayNotify(2, WM_RBUTTONDOWN);
        PumpMessages(300);
        EXPECT_FALSE(closer.shown);
    }
    {
        // The menu opens at the cursor while the window stays hidden.
        MenuCloser closer;
        ::SetCursorPos(300, 200);
        EXPECT_EQ(w.dlg->OnTrayNotify(1, WM_RBUTTONDOWN), 0);
        EXPECT_TRUE(closer.shown);
        EXPECT_EQ(closer.rect.left, 300);
        EXPECT_EQ(closer.rect.top, 200);
        EXPECT_FALSE(::IsWindowVisible(w.hwnd()));
        const HMENU popup = w.dlg->m_menuTray.GetSubMenu(0);
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(::GetMenuItemCount(popup), 4);
        EXPECT_EQ(::GetMenuItemID(popup, 3), static_cast<UINT>(ID_TRAY_EXIT));
    }
    w.dlg->OnTrayNotify(1, WM_LBUTTONDOWN);
    EXPECT_TRUE(::IsWindowVisible(w.hwnd()));
    ::ShowWindow(w.hwnd(), SW_HIDE);
    // The menu's open command arrives as WM_COMMAND.
    ::SendMessageW(w.hwnd(), WM_COMMAND, ID_TRAY_OPEN, 0);
    EXPECT_TRUE(::IsWindowVisible(w.hwnd()));
}

TEST(MainWindowTray, ARestartedTaskbarGetsTheIconBack) {
    OpenMainWindow w;
    ::Shell_NotifyIconW(NIM_DELETE, &w.dlg->m_nid);
    ASSERT_FALSE(TrayIconExists(w.dlg->m_nid));
    ::SendMessageW(w.hwnd(), tvx::TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(TrayIconExists(w.dlg->m_nid));
}

struct Asked {
    int count = 0;
    std::wstring text;
    UINT type = 0;
    int answer = IDNO;
};
Asked g_asked;

int Answer(const std::wstring& text, UINT type) {
    ++g_asked.count;
    g_asked.text = text;
    g_asked.type = type;
    return g_asked.answer;
}

TEST(MainWindowTray, ExitAsksAndOnlyYesEndsAfterTheValuesAreRemoved) {
    const std::wstring anInterface =
        std::wstring(tvx::kInterfacesKey) + L"\\" +
        tvx::test::SubkeyNames(HKEY_LOCAL_MACHINE, tvx::kInterfacesKey).at(0);
    tvx::test::DeleteValue(HKEY_LOCAL_MACHINE, tvx::kMsmqKey, tvx::kNoDelayValue);
    tvx::test::DeleteValue(HKEY_LOCAL_MACHINE, anInterface, tvx::kAckFrequencyValue);
    tvx::SetMessageBoxHook(&Answer);
    g_asked = Asked{};

    OpenMainWindow w;
    ::SendMessageW(w.hwnd(), WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(g_asked.count, 1);
    EXPECT_EQ(g_asked.text,
              L"타르니벡스을 종료하면 게임속도 최적화 환경이 유지되지 않습니다. 그래도 "
              L"종료하시겠습니까?");
    EXPECT_EQ(g_asked.type, 0x24u);
    EXPECT_TRUE(::IsWindowVisible(w.hwnd()));
    EXPECT_TRUE(TrayIconExists(w.dlg->m_nid));

    // START, and exit while that pass may still be at work: it must not write after the revert.
    w.dlg->OnLButtonDown(0, POINT{250, 500});
    g_asked.answer = IDYES;
    const NOTIFYICONDATAW nid = w.dlg->m_nid;
    ::SendMessageW(w.hwnd(), WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(g_asked.count, 2);
    EXPECT_FALSE(::IsWindowVisible(w.hwnd()));
    EXPECT_FALSE(TrayIconExists(nid));
    ::Sleep(300);
    EXPECT_FALSE(tvx::test::ReadDword(HKEY_LOCAL_MACHINE, tvx::kMsmqKey, tvx::kNoDelayValue));
    EXPECT_FALSE(tvx::test::ReadDword(HKEY_LOCAL_MACHINE, anInterface, tvx::kAckFrequencyValue));
    // The state shown is left as it was.
    EXPECT_TRUE(w.dlg->m_bRunning);
    tvx::SetMessageBoxHook(nullptr);
}

}  // namespace
