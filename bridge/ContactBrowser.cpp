// Browsing the Skype contacts with the handset's digit keys.
#include "app/MainDialog.h"

bool MainDialog::FindContactInGroup(std::list<ContactRecord>::iterator, BYTE) { return false; }
