// TEMPORARY placeholders so the program links while the window's handlers are being written.
// Each definition moves to its own file; this file is deleted when the last one has moved.
#include "ui/tarnivex_dlg.h"

BOOL CTarnivexDlg::OnInitDialog() { return CDialogEx::OnInitDialog(); }
void CTarnivexDlg::OnPaint() {
    PAINTSTRUCT ps;
    ::BeginPaint(m_hWnd, &ps);
    ::EndPaint(m_hWnd, &ps);
}
void CTarnivexDlg::OnLButtonDown(UINT, POINT) {}
void CTarnivexDlg::OnDestroy() {}
LRESULT CTarnivexDlg::OnTrayNotify(WPARAM, LPARAM) { return 0; }
void CTarnivexDlg::OnTrayOpen() {}
void CTarnivexDlg::OnTrayHomePage() {}
void CTarnivexDlg::OnTrayExit() {}
