// Skype's notifications: the current call and the contact list.
#include "app/MainDialog.h"

void MainDialog::HandleSkypeNotification(const COPYDATASTRUCT*) {}
void MainDialog::OnRingTimer() {}
