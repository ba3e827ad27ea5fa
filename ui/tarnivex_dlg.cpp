#include "ui/tarnivex_dlg.h"

#include <windowsx.h>

#include "res/resource.h"
#include "ui/exit_request.h"
#include "ui/startup_gates.h"
#include "ui/tray.h"
#include "ui/update_progress_dlg.h"

CTarnivexDlg::CTarnivexDlg(HWND parent) : CDialogEx(IDD_TARNIVEX_DIALOG, parent) {
    tvx::RegisterMainWindowClass();  // the template names the class
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

// The menu holders destroy their menus; the images were deleted in OnDestroy. A worker that
// still reports finds the queue closed.
CTarnivexDlg::~CTarnivexDlg() {
    m_tasks->Close();
    m_progress.reset();
}

BOOL CTarnivexDlg::PreTranslateMessage(MSG* msg) {
    // The progress window is modeless: its keys (Esc cancels) go through its own dialog manager.
    if (m_progress && m_progress->GetSafeHwnd() &&
        (msg->hwnd == m_progress->GetSafeHwnd() ||
         ::IsChild(m_progress->GetSafeHwnd(), msg->hwnd)) &&
        ::IsDialogMessageW(m_progress->GetSafeHwnd(), msg)) {
        return TRUE;
    }
    // Neither Esc nor Enter may end the dialog.
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN)) {
        return TRUE;
    }
    return CDialogEx::PreTranslateMessage(msg);
}

HICON CTarnivexDlg::OnQueryDragIcon() { return m_hIcon; }

bool CTarnivexDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // Explorer started again: its notification area has forgotten our icon, and a hidden window
    // would be out of reach without it.
    if (msg == tvx::TaskbarCreatedMessage() && msg != 0) {
        if (m_nid.hWnd) ::Shell_NotifyIconW(NIM_ADD, &m_nid);
        result = 0;
        return true;
    }
    if (msg == tvx::UiTaskMessage() && msg != 0) {
        m_tasks->Drain();
        result = 0;
        return true;
    }
    if (msg == tvx::ExitRequestMessage() && msg != 0) {
        if (!ExitBegun()) ExitRemovingTheValues();
        result = TRUE;
        return true;
    }
    switch (msg) {
        case WM_PAINT:
            OnPaint();
            result = 0;
            return true;
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
            return true;
        case WM_TIMER:
            OnTimer(wParam);
            return false;  // then the default processing
        case WM_LBUTTONDOWN:
            OnLButtonDown(static_cast<UINT>(wParam),
                          POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return false;
        case WM_DESTROY:
            // What workers report from now on is dropped: the window is going.
            m_tasks->Close();
            OnDestroy();
            return false;
        case WM_CLOSE:
            // Alt+F4 or a close request from the taskbar: the same as the close button. Left
            // to the dialog manager it would end the program without removing the values.
            ::ShowWindow(m_hWnd, SW_HIDE);
            result = 0;
            return true;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            result = 0;
            return true;
        case WM_MOVING:
            OnMoving(*reinterpret_cast<RECT*>(lParam));
            result = TRUE;
            return true;
        case WM_ERASEBKGND:
            result = TRUE;  // the background image covers the whole window
            return true;
        case WM_TRAYNOTIFY:
            result = OnTrayNotify(wParam, lParam);
            return true;
        case WM_COMMAND:
            if (HIWORD(wParam) != 0) break;
            switch (LOWORD(wParam)) {
                case ID_SETTINGS_AUTORUN:
                    OnToggleAutoRun();
                    return true;
                case ID_SETTINGS_AUTOPING:
                    OnToggleAutoPing();
                    return true;
                case ID_SETTINGS_MEMORY:
                    OnToggleMemory();
                    return true;
                case ID_TRAY_OPEN:
                    OnTrayOpen();
                    return true;
                case ID_TRAY_HOMEPAGE:
                    OnTrayHomePage();
                    return true;
                case ID_TRAY_EXIT:
                    OnTrayExit();
                    return true;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return CDialogEx::OnMessage(msg, wParam, lParam, result);
}
