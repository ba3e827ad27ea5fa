// The main window: the program's only window and the record of all its run-time state.
// Handlers are defined next to their concern (painting, pointer input, tray, settings commands,
// timer, update, optimisation worker); this header is the one place that lists them all. The
// work itself lives in the layers below: a handler here decides, asks and shows.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "framework/dialog.h"
#include "framework/menu.h"
#include "framework/rect.h"
#include "framework/scoped.h"
#include "framework/thread.h"
#include "framework/ui_task.h"
#include "online/update_check.h"

namespace tvx {
struct DownloadResult;
struct PassOutcome;
}  // namespace tvx
class CUpdateProgressDlg;

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

    // Update check and self-update. The request runs on a worker (RequestUpdateCheck, callable
    // on any thread); CheckForUpdate takes its result on the window's thread: the unreachable
    // message, the fields, and whether a newer client is offered.
    static tvx::UpdateCheck RequestUpdateCheck(const std::wstring& url);
    BOOL CheckForUpdate(const tvx::UpdateCheck& check);
    // Starts the download; what follows comes back through the window's queue.
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
    // dialog has ended: a handler that comes back from a message box must stop then.
    bool ExitBegun() const { return m_exitBegun || Ended(); }

    // Workers report to the window only through this queue (posted closures run on the window's
    // thread). Null-windowed until the window exists; closed when it goes.
    const tvx::UiTaskPoster& Tasks() const { return m_tasks; }
    // The once-per-run online sequence has reached its end (for tests and the benchmark).
    bool OnlineSequenceDone() const { return m_onlineDone; }
    // An AutoRun toggle still waits for schtasks (for tests).
    bool AutoRunToggleBusy() const { return m_autoRunBusy; }

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnHandlerFailed() override;

private:
    // The tray exit's steps after its question: no pass works any more, the values are removed
    // on this thread, the icon is deleted and the dialog ends.
    void ExitRemovingTheValues();
    // Closes the program's own message boxes and the progress window (each as if cancelled),
    // stops the start-up timer and the download, and closes the passes for good; later presses
    // start nothing.
    void BeginExit();

    // Steps of the online sequence and of the self-update, each run on the window's thread when
    // the worker before it has reported.
    void OnUpdateChecked(const tvx::UpdateCheck& check);
    void StartAutoPingAndEndSequence();
    struct UpdateRun;
    void OnDownloadProgress(ULONGLONG received, ULONGLONG total);
    void OnDownloadEnded(const std::shared_ptr<UpdateRun>& run, const tvx::DownloadResult& result);
    // refusal: the message when the file is not a newer setup signed by us, else null.
    void OnClientVerified(const std::shared_ptr<UpdateRun>& run, const wchar_t* refusal);
    void UpdateFailed(const wchar_t* text, UINT type);
    void CloseUpdateProgress();
    void HandOverToClient(std::shared_ptr<UpdateRun> run);
    // A pass has ended: the window shows what the machine holds when the pass failed.
    void OnPassEnded(const tvx::PassOutcome& outcome);

    bool m_exitBegun = false;
    bool m_onlineDone = false;
    // An AutoRun toggle is waiting for schtasks on a worker.
    bool m_autoRunBusy = false;
    tvx::UiTaskPoster m_tasks = tvx::UiTaskQueue::For(nullptr);
    // The number of the latest pass request this window made.
    unsigned long long m_lastPassRequest = 0;
    // The self-update while its download runs, and the window that shows it.
    std::shared_ptr<UpdateRun> m_update;
    std::unique_ptr<CUpdateProgressDlg> m_progress;
};
