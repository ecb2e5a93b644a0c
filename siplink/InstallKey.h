#pragma once
// The registry key by which programs of the Skype API find Skype installed: HKCU\SOFTWARE\Skype\Phone.
// SipLink creates it when missing, marks it as its own, and at uninstall removes only what it created.

// Makes the key exist; a key that was there already is left as it is.
void EnsureSkypeKey();
// Removes what EnsureSkypeKey created (a key holding anything else stays); answers false when a key of
// ours could not be removed.
bool RemoveSkypeKey();
