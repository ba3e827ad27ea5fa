// The tray icon, its notification message and the commands of its menu.
#include "ui/tray.h"

#include <commctrl.h>

#include <cwchar>

#include "framework/message_box.h"
#include "res/resource.h"
#include "ui/tarnivex_dlg.h"

namespace tvx {

UniqueIcon LoadProgramIcon(int metric) {
    HICON icon = nullptr;
    if (FAILED(::LoadIconMetric(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                metric, &icon))) {
        return UniqueIcon();
    }
    return UniqueIcon(icon);
}

NOTIFYICONDATAW MakeTrayIconData(HWND window, HICON icon) {
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof(NOTIFYICONDATAW);
    nid.hWnd = window;
    nid.uID = kTrayIconId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_TRAYNOTIFY;
    nid.hIcon = icon;
    std::wcsncpy(nid.szTip, kTrayTip, 127);
    return nid;
}

UINT TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

void AllowTaskbarRestartNotice(HWND window) {
    if (const UINT message = TaskbarCreatedMessage()) {
        ::ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
    }
}

}  // namespace tvx

namespace {

constexpr wchar_t kExitQuestion[] =
    L"타르니벡스을 종료하면 게임속도 최적화 환경이 유지되지 않습니다. 그래도 종료하시겠습니까?";

void ShowAndForeground(HWND window) {
    ::ShowWindow(window, SW_SHOW);
    ::SetForegroundWindow(window);
}

}  // namespace

LRESULT CTarnivexDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != tvx::kTrayIconId) return 0;
    switch (lParam) {
        case WM_LBUTTONDOWN:
            ShowAndForeground(m_hWnd);
            break;
        case WM_RBUTTONDOWN: {
            POINT cursor = {0, 0};
            ::GetCursorPos(&cursor);
            m_menuTray.LoadMenu(IDR_MENU_TRAY);
            const HMENU popup = m_menuTray.GetSubMenu(0);
            if (!popup) break;
            // Without the foreground the menu would not close when the user clicks elsewhere.
            ::SetForegroundWindow(m_hWnd);
            ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x,
                             cursor.y, 0, m_hWnd, nullptr);
            break;
        }
        default:
            break;  // movement, releases and double-clicks act through the press only
    }
    return 0;
}

void CTarnivexDlg::OnTrayOpen() { ShowAndForeground(m_hWnd); }

void CTarnivexDlg::OnTrayHomePage() {
    ::ShellExecuteW(nullptr, L"open", TARNIVEX_SITE_URL L"/", nullptr, nullptr, SW_SHOWNORMAL);
}

void CTarnivexDlg::OnTrayExit() {
    if (ExitBegun()) return;
    if (AfxMessageBox(kExitQuestion, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    // The question's own message loop may have let another way out run meanwhile.
    if (ExitBegun()) return;
    ExitRemovingTheValues();
}
