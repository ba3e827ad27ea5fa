// Flips AutoRun once from the folder it was copied to, as the program does when the menu item is
// chosen: "create" starts from off, "delete" from on. A message box is answered at once.
#include <windows.h>

#include <string>

#include "framework/message_box.h"
#include "ui/tarnivex_dlg.h"

namespace {
int AnswerOk(const std::wstring&, UINT) { return IDOK; }
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    tvx::SetMessageBoxHook(&AnswerOk);
    CTarnivexDlg dlg;
    dlg.m_bAutoRun = std::wstring(argv[1]) == L"delete" ? TRUE : FALSE;
    dlg.OnToggleAutoRun();
    return dlg.m_bAutoRun ? 1 : 0;  // the exit code tells the new state
}
