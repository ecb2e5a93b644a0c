// Device start-up, the handset event thread and the main window's timers.
#include "app/MainDialog.h"

volatile LONG burstPolls = 0;

bool MainDialog::StartDevice() { return false; }
void MainDialog::OnPhoneArrived(DWORD) {}
void MainDialog::OnPhoneRemoved(DWORD) {}
void MainDialog::OnResume() {}
void MainDialog::OnHandsetGone() {}
void MainDialog::OnTimer(UINT_PTR) {}
unsigned __stdcall MainDialog::HandsetEventThread(void*) { return 0; }
