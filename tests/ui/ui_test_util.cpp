#include "ui_test_util.h"

#include <gtest/gtest.h>

#include "ui/startup_gates.h"

namespace tvx::test {

void PumpMessages(DWORD ms) {
    const ULONGLONG until = ::GetTickCount64() + ms;
    MSG msg;
    do {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    } while (::GetTickCount64() < until);
}

OpenMainWindow::OpenMainWindow() : dlg(std::make_unique<CTarnivexDlg>()) {
    EXPECT_NE(dlg->Create(), nullptr);
    // The start-up timer belongs to the online sequence, which these tests leave alone.
    if (hwnd()) ::KillTimer(hwnd(), kStartupTimerId);
    PumpMessages(50);
}

OpenMainWindow::~OpenMainWindow() {
    if (hwnd()) {
        ::Shell_NotifyIconW(NIM_DELETE, &dlg->m_nid);
        ::DestroyWindow(hwnd());
    }
    dlg.reset();
}

Gdiplus::Bitmap* SolidBitmap(int width, int height, Gdiplus::Color colour) {
    StartGdiplusOnce();
    auto* bitmap = new Gdiplus::Bitmap(width, height, PixelFormat32bppARGB);
    Gdiplus::Graphics g(bitmap);
    g.Clear(colour);
    return bitmap;
}

void RepaintNow(HWND hwnd) {
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ::GdiFlush();
}

COLORREF ClientPixel(HWND hwnd, int x, int y) {
    const HDC dc = ::GetDC(hwnd);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(hwnd, dc);
    return c;
}

namespace {
MenuCloser* g_closer = nullptr;

void CALLBACK CloseMenuTimer(HWND, UINT, UINT_PTR, DWORD) {
    const HWND menu = ::FindWindowW(L"#32768", nullptr);
    if (!g_closer || g_closer->shown || !menu || !::IsWindowVisible(menu)) return;
    g_closer->shown = true;
    ::GetWindowRect(menu, &g_closer->rect);
    ::EndMenu();
}
}  // namespace

MenuCloser::MenuCloser() {
    g_closer = this;
    timer_ = ::SetTimer(nullptr, 0, 100, &CloseMenuTimer);
}

MenuCloser::~MenuCloser() {
    ::KillTimer(nullptr, timer_);
    g_closer = nullptr;
}

}  // namespace tvx::test
