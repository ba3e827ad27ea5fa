// TEMPORARY placeholders so the program links while the settings commands are being written.
#include "ui/tarnivex_dlg.h"

void CTarnivexDlg::OnToggleAutoRun() {}
void CTarnivexDlg::OnToggleAutoPing() {}
void CTarnivexDlg::OnToggleMemory() {}
