// The main window: the program's only window and the record of all its run-time state.
// Handlers are defined next to their concern (painting, pointer input, tray, settings commands,
// timer, update, optimisation worker); this header is the one place that lists them all. The
// work itself lives in the layers below: a handler here decides, asks and shows.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <string>

#include "framework/dialog.h"
#include "framework/menu.h"
#include "framework/rect.h"
#include "framework/scoped.h"
#include "framework/thread.h"

namespace tvx {
class DownloadControl;
}

// Tray icon callback message.
constexpr UINT WM_TRAYNOTIFY = WM_APP + 1;
constexpr UINT_PTR kStartupTimerId = 1;

class CTarnivexDlg : public CDialogEx {
public:
    explicit CTarnivexDlg(HWND parent = nullptr);
    ~CTarnivexDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;

    // The four start steps of an optimisation pass, shared by the START/STOP press and the
    // automatic start. The worker is handed the engine's request, never this window.
    void StartOptimisationWorker(BOOL newState);

    // Update check and self-update.
    BOOL CheckForUpdate(std::wstring url);
    void DownloadAndRunUpdate();

    // Message handlers (public so that tests can drive them without a message loop).
    BOOL OnInitDialog() override;
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnTimer(UINT_PTR id);
    void OnLButtonDown(UINT flags, POINT point);
    void OnDestroy();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnToggleAutoRun();
    void OnToggleAutoPing();
    void OnToggleMemory();
    void OnTrayOpen();
    void OnTrayHomePage();
    void OnTrayExit();

    // The record, in declaration order.
    HICON m_hIcon = nullptr;
    std::wstring m_strServerVersion = L"0";
    std::wstring m_strUpdateUrl = L"0";
    Gdiplus::Bitmap* m_imgBackground = nullptr;
    Gdiplus::Bitmap* m_imgLogo = nullptr;
    Gdiplus::Bitmap* m_imgSettings = nullptr;
    Gdiplus::Bitmap* m_imgClose = nullptr;
    Gdiplus::Bitmap* m_imgStart = nullptr;
    Gdiplus::Bitmap* m_imgStop = nullptr;
    NOTIFYICONDATAW m_nid = {};
    CMenu m_menuTray;
    CMenu m_menuSettings;
    CWinThread* m_pWorkerThread = nullptr;
    CRect m_rcLogo;
    CRect m_rcSettings;
    CRect m_rcClose;
    CRect m_rcStart;
    CRect m_rcStop;
    BOOL m_bShowStop = FALSE;
    BOOL m_bRunning = FALSE;
    BOOL m_bAutoRun = FALSE;
    BOOL m_bAutoPing = FALSE;
    BOOL m_bMemory = FALSE;

    // The window's scale on its monitor (ui/layout.h): size, region, images and the rectangles
    // above all follow it. 1 at 96 DPI on a screen the window fits.
    double m_scale = 1.0;
    bool m_placing = false;  // our own moves and resizes: no DPI change to act on
    // The program icon at the sizes the system asks for at this DPI (tray and window).
    tvx::UniqueIcon m_iconSmall;
    tvx::UniqueIcon m_iconLarge;
    // Places the window on the monitor under the pointer at that monitor's scale.
    void PlaceOnPointerMonitor();
    // Size, region, images and rectangles for `scale`; the window's top-left corner goes to
    // `topLeft` (screen coordinates).
    void ApplyScale(double scale, POINT topLeft);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void OnMoving(RECT& proposed);

    // The end of the program has begun (exit command, exit request, accepted update) or the
    // dialog has ended: a handler that comes back from a nested message loop must stop then.
    bool ExitBegun() const { return m_exitBegun || Ended(); }

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnHandlerFailed() override;

private:
    // The tray exit's steps after its question: no pass works any more, the values are removed
    // on this thread, the icon is deleted and the dialog ends.
    void ExitRemovingTheValues();
    // Stops the start-up timer and closes the passes for good; later presses start nothing.
    void BeginExit();

    bool m_exitBegun = false;
    // The self-update's download while it runs, so that an exit can stop it.
    tvx::DownloadControl* m_download = nullptr;
};
