#pragma once
// Saves what the screen shows of a window as a bitmap file, as a user would see it.
#include <windows.h>

#include <string>

namespace panel_test {

// The build tree's folder for screenshots (beside bin), created when missing.
std::string ScreenshotFolder();
// Copies the window's screen rectangle into a 24-bit bitmap file; answers whether the file was written.
bool SaveWindowShot(HWND window, const std::string& path);

} // namespace panel_test
