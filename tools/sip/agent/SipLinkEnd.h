#pragma once
// How another program ends a running SipLink.exe, as a user would: WM_CLOSE to its hidden main window.
#include <windows.h>

#include "tests/common/TestSupport.h"

// Posts WM_CLOSE to the main window of SipLink process `processId`; answers whether it found one.
bool AskSipLinkToEnd(DWORD processId);
// Asks SipLink to end and waits up to 5 s for it, taking the messages of this thread's windows meanwhile
// (its last notifications to a client of the caller's, as the program takes them); answers its exit code
// (STILL_ACTIVE when it did not end, and it is then killed).
DWORD EndSipLink(test::Process& process);
