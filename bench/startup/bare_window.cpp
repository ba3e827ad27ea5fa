// The yardstick for start-up time: the smallest windowed program built the same way (static,
// same toolchain and flags) that shows a 500 x 800 popup and paints it.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            const HDC dc = ::BeginPaint(hwnd, &ps);
            const HBRUSH brush = ::CreateSolidBrush(RGB(20, 24, 32));
            ::FillRect(dc, &ps.rcPaint, brush);
            ::DeleteObject(brush);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"BareWindow";
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    if (!::RegisterClassW(&wc)) return 1;
    const HWND hwnd = ::CreateWindowExW(WS_EX_APPWINDOW, L"BareWindow", L"BareWindow", WS_POPUP,
                                        100, 100, 500, 800, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ::ShowWindow(hwnd, show);
    ::UpdateWindow(hwnd);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
