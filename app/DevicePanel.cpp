// The device and settings panel.
#include "app/MainDialog.h"

void MainDialog::RefreshDevicePanel(UINT, DWORD) {}
void MainDialog::SaveCountryCode() {}
LRESULT MainDialog::OnPaint(WPARAM wParam, LPARAM lParam) { return PlatformWindowProc(WM_PAINT, wParam, lParam); }
LRESULT MainDialog::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(appIcon); }
LRESULT MainDialog::OnSpeakerMute(WPARAM, LPARAM) { return 0; }
LRESULT MainDialog::OnMicMute(WPARAM, LPARAM) { return 0; }
LRESULT MainDialog::OnHScroll(WPARAM wParam, LPARAM lParam) { return PlatformWindowProc(WM_HSCROLL, wParam, lParam); }
LRESULT MainDialog::OnOnlineOnlyClicked(WPARAM, LPARAM) { return 0; }
LRESULT MainDialog::OnCountryCodeChanged(WPARAM, LPARAM) { return 0; }
