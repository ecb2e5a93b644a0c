#pragma once
// The SIP account window (SipLink.exe --settings, the Start menu's "SIP account"): the account and the
// sound devices, with the running SipLink's registration state. Its fields are read as UTF-16 and kept as
// UTF-8. Apply stores the account and tells a running SipLink, which takes it (Line: a changed account
// waits for the end of a call that is up).
#include <windows.h>

// Runs the window until the user closes it; answers the process's exit code.
int RunAccountWindow();
// Brings an open account window to the front, or starts one (this program with --settings) as a process of
// its own; answers whether there is one.
bool OpenAccountWindow();

// The message a running SipLink's main window gets when the stored account has changed.
UINT AccountChangedMessage();
