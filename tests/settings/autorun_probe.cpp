// Flips AutoRun once from the folder it was copied to, as the program does when the menu item is
// chosen: "create" starts from off (the task is created), "delete" from on.
#include <windows.h>

#include <string>

#include "ui/tarnivex_dlg.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    CTarnivexDlg dlg;
    dlg.m_bAutoRun = std::wstring(argv[1]) == L"delete" ? TRUE : FALSE;
    dlg.OnToggleAutoRun();
    return dlg.m_bAutoRun ? 1 : 0;  // the exit code tells the new state
}
