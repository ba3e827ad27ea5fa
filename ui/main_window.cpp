// The main window's initialisation and destruction, and its size and place on the screen.
#include <windows.h>
#include <commctrl.h>

#include <iterator>

#include "engine/optimisation_pass.h"
#include "engine/tuning_backup.h"
#include "framework/executable_path.h"
#include "framework/scoped.h"
#include "online/update_folder.h"
#include "res/resource.h"
#include "settings/settings_commands.h"
#include "settings/settings_store.h"
#include "ui/layout.h"
#include "ui/png_resource.h"
#include "ui/startup_gates.h"
#include "ui/tarnivex_dlg.h"
#include "ui/tray.h"

namespace {
constexpr int kCornerEllipse = 20;
constexpr UINT kStartupTimerPeriodMs = 1000;
// The top strip of the window that holds its title (and the gear and the cross): a drag never
// takes it off the screen, and this much of its width stays there.
constexpr int kTitleStripHeight = 60;
constexpr int kTitleStripMinVisible = 120;

// The images in the order they are loaded, each with its ids at 100, 150 and 200 %.
struct SkinImage {
    Gdiplus::Bitmap* CTarnivexDlg::*member;
    UINT ids[3];
};
constexpr SkinImage kSkin[] = {
    {&CTarnivexDlg::m_imgBackground,
     {IDB_PNG_BACKGROUND, IDB_JPEG_BACKGROUND_150, IDB_JPEG_BACKGROUND_200}},
    {&CTarnivexDlg::m_imgLogo, {IDB_PNG_LOGO, IDB_PNG_LOGO_150, IDB_PNG_LOGO_200}},
    {&CTarnivexDlg::m_imgSettings, {IDB_PNG_SETTINGS, IDB_PNG_SETTINGS_150, IDB_PNG_SETTINGS_200}},
    {&CTarnivexDlg::m_imgClose, {IDB_PNG_CLOSE, IDB_PNG_CLOSE_150, IDB_PNG_CLOSE_200}},
    {&CTarnivexDlg::m_imgStart, {IDB_PNG_START, IDB_PNG_START_150, IDB_PNG_START_200}},
    {&CTarnivexDlg::m_imgStop, {IDB_PNG_STOP, IDB_PNG_STOP_150, IDB_PNG_STOP_200}},
};

UINT SkinId(const SkinImage& image, int set) {
    return image.ids[set == 100 ? 0 : set == 150 ? 1 : 2];
}

// Decodes the image from the rendering set and, when that rendering is not already the size it
// is drawn at, resamples it once here rather than on every paint.
Gdiplus::Bitmap* LoadSkinImage(UINT id, bool jpeg, SIZE drawn) {
    Gdiplus::Bitmap* image = jpeg ? tvx::LoadImageResource(id, L"JPEG") : tvx::LoadPngResource(id);
    if (!image) return nullptr;
    if (image->GetWidth() == static_cast<UINT>(drawn.cx) &&
        image->GetHeight() == static_cast<UINT>(drawn.cy)) {
        return image;
    }
    Gdiplus::Bitmap* resized = tvx::ResizedCopy(*image, drawn.cx, drawn.cy);
    if (!resized) return image;  // painting then scales it itself
    delete image;
    return resized;
}

RECT WorkAreaOf(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(monitor, &info)) {
        RECT area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        return area;
    }
    return info.rcWork;
}

void DeleteImages(CTarnivexDlg& dlg) {
    // Deleting a bitmap also releases its stream and the memory copy of the PNG bytes. The
    // pointers are cleared so that nothing can draw a deleted image.
    for (const SkinImage& image : kSkin) {
        delete (dlg.*image.member);
        dlg.*image.member = nullptr;
    }
}

}  // namespace

BOOL CTarnivexDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    // From here on workers can report to this window.
    m_tasks = tvx::UiTaskQueue::For(m_hWnd);
    // The icons in the sizes this DPI asks for; the shared 32-pixel one where they fail.
    m_iconSmall = tvx::LoadProgramIcon(LIM_SMALL);
    m_iconLarge = tvx::LoadProgramIcon(LIM_LARGE);
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(m_iconLarge ? m_iconLarge.get() : m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(m_iconSmall ? m_iconSmall.get() : m_hIcon));

    if (!tvx::ProcessCountsAsElevated()) {
        tvx::RequestElevatedRelaunch();
        OnCancel();
        return TRUE;
    }
    tvx::EnterSingleInstance();

    ::SetWindowTextW(m_hWnd, tvx::kMainWindowTitle);
    tvx::StartGdiplusOnce();
    // Shape, size, place, images and rectangles, at the scale of the monitor under the pointer.
    PlaceOnPointerMonitor();

    // Loading never switches game ping on; the automatic start belongs to the start-up timer.
    const tvx::Settings settings = tvx::LoadSettings();
    // A stored "true" counts only in the installed copy, the one that can have the logon task.
    m_bAutoRun = tvx::AutoRunShown(settings.autoRun, tvx::ExecutablePath());
    m_bAutoPing = settings.autoPing;
    m_bMemory = settings.memory;
    tvx::Passes().request.memory = m_bMemory != FALSE;
    // Game ping left on by an earlier run (ended by a crash, a kill or a self-update): the window
    // shows it as it is, without a pass. STOP then takes it back.
    if (tvx::GamePingLeftOn()) {
        m_bRunning = TRUE;
        m_bShowStop = TRUE;
        tvx::Passes().request.gamePing = true;
    }

    m_nid = tvx::MakeTrayIconData(
        m_hWnd, m_iconSmall
                    ? m_iconSmall.get()
                    : ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
    ::Shell_NotifyIconW(NIM_ADD, &m_nid);
    tvx::AllowTaskbarRestartNotice(m_hWnd);

    ::SetTimer(m_hWnd, kStartupTimerId, kStartupTimerPeriodMs, nullptr);
    // The client of an earlier self-update has run (or never will): its folder can go.
    tvx::RemoveLeftoverUpdateFolders();
    return TRUE;
}

void CTarnivexDlg::PlaceOnPointerMonitor() {
    POINT cursor = {0, 0};
    const HMONITOR monitor = ::GetCursorPos(&cursor)
                                 ? ::MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY)
                                 : ::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY);
    const RECT area = WorkAreaOf(monitor);
    // The window takes the DPI of the monitor it is on: move it there first, at its present
    // size. The DPI change this may bring is the one measured here, so it is not acted on.
    RECT now = {};
    ::GetWindowRect(m_hWnd, &now);
    const POINT there = tvx::CentredOn(area, SIZE{now.right - now.left, now.bottom - now.top});
    m_placing = true;
    ::SetWindowPos(m_hWnd, nullptr, there.x, there.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_placing = false;
    const double scale = tvx::WindowScale(::GetDpiForWindow(m_hWnd), area);
    ApplyScale(scale, tvx::CentredOn(area, tvx::ScaledWindowSize(scale)));
}

void CTarnivexDlg::ApplyScale(double scale, POINT topLeft) {
    m_scale = scale;
    const SIZE size = tvx::ScaledWindowSize(scale);
    const int corner = tvx::ScaleLength(kCornerEllipse, scale);
    // SetWindowRgn takes the region over only when it succeeds.
    tvx::UniqueGdiObject region(::CreateRoundRectRgn(0, 0, size.cx, size.cy, corner, corner));
    if (region && ::SetWindowRgn(m_hWnd, static_cast<HRGN>(region.get()), TRUE)) region.release();
    m_placing = true;
    ::SetWindowPos(m_hWnd, nullptr, topLeft.x, topLeft.y, size.cx, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    m_placing = false;

    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    const tvx::MainLayout layout = tvx::ComputeLayout(client.right - client.left, scale);
    m_rcLogo = layout.logo;
    m_rcSettings = layout.settings;
    m_rcClose = layout.close;
    m_rcStart = layout.start;
    m_rcStop = layout.stop;

    // Only the rendering set this scale paints from is decoded.
    DeleteImages(*this);
    const int set = tvx::SkinSetFor(scale);
    const CRect* drawnIn[] = {nullptr, &m_rcLogo, &m_rcSettings, &m_rcClose, &m_rcStart, &m_rcStop};
    for (size_t i = 0; i < std::size(kSkin); ++i) {
        const SIZE drawn = drawnIn[i] ? SIZE{drawnIn[i]->Width(), drawnIn[i]->Height()} : size;
        // The larger backgrounds are the only JPEG images.
        const bool jpeg = i == 0 && set != 100;
        this->*kSkin[i].member = LoadSkinImage(SkinId(kSkin[i], set), jpeg, drawn);
    }
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CTarnivexDlg::OnDpiChanged(UINT dpi, const RECT& suggested) {
    if (m_placing) return;
    // The system's rectangle says where the window now is; its size is ours to choose, so that
    // the window also fits the work area of that monitor.
    const RECT area = WorkAreaOf(::MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST));
    const double scale = tvx::WindowScale(dpi, area);
    const SIZE size = tvx::ScaledWindowSize(scale);
    const RECT placed = tvx::KeepTitleOn(
        RECT{suggested.left, suggested.top, suggested.left + size.cx, suggested.top + size.cy},
        area, tvx::ScaleLength(kTitleStripHeight, scale),
        tvx::ScaleLength(kTitleStripMinVisible, scale));
    ApplyScale(scale, POINT{placed.left, placed.top});
}

void CTarnivexDlg::OnMoving(RECT& proposed) {
    // The whole body is a handle for moving, so a window dragged by its lower part could end
    // with its top above the screen; the title strip stays on the monitor nearest to it.
    const int titleHeight = tvx::ScaleLength(kTitleStripHeight, m_scale);
    const RECT strip = {proposed.left, proposed.top, proposed.right, proposed.top + titleHeight};
    const RECT area = WorkAreaOf(::MonitorFromRect(&strip, MONITOR_DEFAULTTONEAREST));
    proposed = tvx::KeepTitleOn(proposed, area, titleHeight,
                                tvx::ScaleLength(kTitleStripMinVisible, m_scale));
}

void CTarnivexDlg::OnDestroy() { DeleteImages(*this); }
