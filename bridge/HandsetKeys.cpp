// Handset events: dialling, DTMF and hook.
#include "app/MainDialog.h"

void MainDialog::HandleHandsetKey(LONG) {}
