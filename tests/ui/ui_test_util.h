// Helpers for the window tests: a main window created without its modal loop, message pumping,
// solid test pictures, pixels read back from the window, and popup menus closed by a timer.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "ui/tarnivex_dlg.h"

namespace tvx::test {

// Dispatches what is queued for this thread, repeatedly for `ms` milliseconds.
void PumpMessages(DWORD ms = 50);

// The main window, initialised (OnInitDialog has run) but not modal. Destroys the window first
// (WM_DESTROY deletes the images) and then the object.
struct OpenMainWindow {
    OpenMainWindow();
    ~OpenMainWindow();
    HWND hwnd() const { return dlg->GetSafeHwnd(); }
    std::unique_ptr<CTarnivexDlg> dlg;
};

// A bitmap of one colour, allocated as the window's images are (the window deletes it).
Gdiplus::Bitmap* SolidBitmap(int width, int height, Gdiplus::Color colour);

// Paints the whole window now and reads one client pixel back from its surface.
void RepaintNow(HWND hwnd);
COLORREF ClientPixel(HWND hwnd, int x, int y);

// While it lives, a thread timer records the first popup menu window it finds and closes that
// menu, so that a TrackPopupMenu called meanwhile on this thread returns by itself.
class MenuCloser {
public:
    MenuCloser();
    ~MenuCloser();
    MenuCloser(const MenuCloser&) = delete;
    MenuCloser& operator=(const MenuCloser&) = delete;

    bool shown = false;
    RECT rect = {};  // screen rectangle of the menu seen

private:
    UINT_PTR timer_ = 0;
};

}  // namespace tvx::test
