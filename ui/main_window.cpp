// The main window's initialisation and destruction.
#include <windows.h>

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
constexpr int kWindowWidth = 500;
constexpr int kWindowHeight = 800;
constexpr int kCornerEllipse = 20;
constexpr UINT kStartupTimerPeriodMs = 1000;
}  // namespace

BOOL CTarnivexDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    // From here on workers can report to this window.
    m_tasks = tvx::UiTaskQueue::For(m_hWnd);
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    if (!tvx::ProcessCountsAsElevated()) {
        tvx::RequestElevatedRelaunch();
        OnCancel();
        return TRUE;
    }
    tvx::EnterSingleInstance();

    // SetWindowRgn takes the region over only when it succeeds.
    tvx::UniqueGdiObject region(
        ::CreateRoundRectRgn(0, 0, kWindowWidth, kWindowHeight, kCornerEllipse, kCornerEllipse));
    if (region && ::SetWindowRgn(m_hWnd, static_cast<HRGN>(region.get()), TRUE)) region.release();

    ::SetWindowTextW(m_hWnd, tvx::kMainWindowTitle);
    ::MoveWindow(m_hWnd, 0, 0, kWindowWidth, kWindowHeight, TRUE);
    CenterWindow();

    tvx::StartGdiplusOnce();
    m_imgBackground = tvx::LoadPngResource(IDB_PNG_BACKGROUND);
    m_imgLogo = tvx::LoadPngResource(IDB_PNG_LOGO);
    m_imgSettings = tvx::LoadPngResource(IDB_PNG_SETTINGS);
    m_imgClose = tvx::LoadPngResource(IDB_PNG_CLOSE);
    m_imgStart = tvx::LoadPngResource(IDB_PNG_START);
    m_imgStop = tvx::LoadPngResource(IDB_PNG_STOP);

    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    const tvx::MainLayout layout = tvx::ComputeLayout(client.right - client.left);
    m_rcLogo = layout.logo;
    m_rcSettings = layout.settings;
    m_rcClose = layout.close;
    m_rcStart = layout.start;
    m_rcStop = layout.stop;

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
        m_hWnd, ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
    ::Shell_NotifyIconW(NIM_ADD, &m_nid);
    tvx::AllowTaskbarRestartNotice(m_hWnd);

    ::SetTimer(m_hWnd, kStartupTimerId, kStartupTimerPeriodMs, nullptr);
    // The client of an earlier self-update has run (or never will): its folder can go.
    tvx::RemoveLeftoverUpdateFolders();
    return TRUE;
}

void CTarnivexDlg::OnDestroy() {
    // Deleting a bitmap also releases its stream and the memory copy of the PNG bytes. The
    // pointers are cleared so that nothing can draw a deleted image.
    for (Gdiplus::Bitmap** image :
         {&m_imgBackground, &m_imgLogo, &m_imgSettings, &m_imgClose, &m_imgStart, &m_imgStop}) {
        delete *image;
        *image = nullptr;
    }
}
