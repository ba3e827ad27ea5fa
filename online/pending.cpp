// TEMPORARY placeholders so the program links while the online sequence is being written.
#include "ui/tarnivex_dlg.h"

void CTarnivexDlg::OnTimer(UINT_PTR) {}
BOOL CTarnivexDlg::CheckForUpdate(std::wstring) { return FALSE; }
void CTarnivexDlg::DownloadAndRunUpdate() {}
