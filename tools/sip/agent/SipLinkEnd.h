#pragma once
// How another program ends a running SipLink.exe, as a user would: WM_CLOSE to its hidden main window.
#include <windows.h>

// Posts WM_CLOSE to the main window of SipLink process `processId`; answers whether it found one.
bool AskSipLinkToEnd(DWORD processId);
