// The main window: the program's only window and the record of all its run-time state.
// Handlers are defined next to their concern (painting, pointer input, tray, settings commands,
// timer, update, optimisation pass); this header is the one place that lists them all.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <string>

#include "framework/dialog.h"
#include "framework/menu.h"
#include "framework/rect.h"
#include "framework/thread.h"

// Tray icon callback message.
constexpr UINT WM_TRAYNOTIFY = WM_APP + 1;
constexpr UINT_PTR kStartupTimerId = 1;

class CTarnivexDlg : public CDialogEx {
public:
    explicit CTarnivexDlg(HWND parent = nullptr);
    ~CTarnivexDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;

    // Optimisation pass: the four start steps shared by the START/STOP press and the automatic
    // start, and the pass itself (run on the worker thread).
    void StartOptimisationWorker(BOOL newState);
    void RunOptimisationPass();

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

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// Worker thread procedure of the optimisation pass; the parameter is the main window record.
UINT OptimiseThreadProc(LPVOID param);
