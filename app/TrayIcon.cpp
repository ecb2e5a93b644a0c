// The tray icon, its menu and the About box.
#include "app/MainDialog.h"

volatile LONG aboutAllowed = 1;

void MainDialog::UpdateTrayIcon(int) {}
void MainDialog::RemoveTrayIcon() {}
void MainDialog::OnTrayNotify(UINT, UINT) {}
void MainDialog::ShowTrayMenu(HWND) {}
LRESULT MainDialog::OnSize(WPARAM wParam, LPARAM lParam) { return PlatformWindowProc(WM_SIZE, wParam, lParam); }
