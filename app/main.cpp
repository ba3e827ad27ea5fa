// Process entry: the whole program lives in one modal run of the main window.
#include <windows.h>

#include "ui/tarnivex_dlg.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CTarnivexDlg dlg;
    dlg.DoModal();
    return 0;
}
