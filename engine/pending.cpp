// TEMPORARY placeholders so the program links while the optimisation pass is being written.
#include "ui/tarnivex_dlg.h"

void CTarnivexDlg::StartOptimisationWorker(BOOL) {}
void CTarnivexDlg::RunOptimisationPass() {}
UINT OptimiseThreadProc(LPVOID) { return 0; }
