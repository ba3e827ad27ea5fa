// Two visible top-level windows titled "Tarnivex": one of an Explorer-like class (a folder
// window open on the install folder has that title) and one that copies the program's own
// window class name. Neither answers any request; the process runs until it is ended.
#include <windows.h>

namespace {

HWND MakeWindow(const wchar_t* className, int y) {
    WNDCLASSEXW cls = {};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = ::DefWindowProcW;
    cls.hInstance = ::GetModuleHandleW(nullptr);
    cls.lpszClassName = className;
    ::RegisterClassExW(&cls);
    const HWND window = ::CreateWindowExW(0, className, L"Tarnivex", WS_OVERLAPPEDWINDOW, 40, y,
                                          300, 200, nullptr, nullptr, cls.hInstance, nullptr);
    ::ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MakeWindow(L"CabinetWClass", 40);
    MakeWindow(L"TarnivexMainWindow", 300);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
