#pragma once
// Pictures of what the screen shows, for the README and for people without a screen of their own.
#include <windows.h>

#include <string>

// Saves what the screen shows of the window (its whole frame) as a 32-bit bitmap file; answers whether it
// was written.
bool SaveScreenPicture(HWND window, const std::string& path);
