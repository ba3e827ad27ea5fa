// Left button presses: the gear, the cross, START/STOP, and the body as a handle for moving.
#include "res/resource.h"
#include "ui/tarnivex_dlg.h"

namespace {

UINT CheckFlag(BOOL on) { return MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED); }

}  // namespace

void CTarnivexDlg::OnLButtonDown(UINT, POINT point) {
    if (::PtInRect(&m_rcSettings, point)) {
        m_menuSettings.LoadMenu(IDR_MENU_SETTINGS);
        const HMENU popup = m_menuSettings.GetSubMenu(0);
        if (!popup) return;
        ::CheckMenuItem(popup, ID_SETTINGS_AUTORUN, CheckFlag(m_bAutoRun));
        ::CheckMenuItem(popup, ID_SETTINGS_AUTOPING, CheckFlag(m_bAutoPing));
        ::CheckMenuItem(popup, ID_SETTINGS_MEMORY, CheckFlag(m_bMemory));
        // Opens below and to the right of the gear.
        POINT anchor = {m_rcSettings.left, m_rcSettings.bottom};
        ::ClientToScreen(m_hWnd, &anchor);
        ::SetForegroundWindow(m_hWnd);
        ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, anchor.x, anchor.y,
                         0, m_hWnd, nullptr);
    } else if (::PtInRect(&m_rcClose, point)) {
        // Only hides: the program goes on in the tray and is ended from there.
        ::ShowWindow(m_hWnd, SW_HIDE);
    } else if (::PtInRect(&m_rcStart, point)) {
        StartOptimisationWorker(m_bRunning ? FALSE : TRUE);
    } else {
        // The body moves the window: the system runs its move loop as for a caption press.
        ::PostMessageW(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
    }
}
