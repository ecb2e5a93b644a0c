#pragma once
// What the shell shows of notify icons, read from another process the way a user sees it. Wine's shell
// keeps every icon in a window of its own ("__winex11_tray_icon", inside the "Wine System Tray" window
// when no desktop tray is there to dock into), with a tooltip that holds the tip, and it passes mouse
// messages on that window to the icon's owner as the icon's callback message.
#include <windows.h>

#include <string>
#include <vector>

namespace tray_test {

// The icon windows the shell shows now.
std::vector<HWND> TrayIconWindows();
// Lets the shell drop icons whose owner window is gone (it notices when it passes a message on).
void DropDeadTrayIcons();
// The tip the shell shows for the icon window ("" when it has none), read from the shell's tooltip.
std::string TrayTip(HWND iconWindow);
// Passes a mouse message to the icon as the pointer would (the shell forwards it to the owner).
void PostTrayMouse(HWND iconWindow, UINT mouseMessage);

// Screen pixels, 0x00RRGGBB, rows top-down.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> rgb;
    DWORD At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};
Pixels CaptureScreen(const RECT& area);
// What the shell draws for this resource icon of ours (or of `module`'s): the small size on the given
// background.
Pixels RenderSmallIcon(int iconId, DWORD background, HMODULE module = nullptr);
// Pixels that differ (every pixel when the sizes differ).
int CountDifferences(const Pixels& shown, const Pixels& expected);
// The small icon the shell draws in the icon window, centred, without the window's border.
Pixels ShownTrayIcon(HWND iconWindow);
// Pixels in rows [top, bottom) of exactly this colour (0x00RRGGBB).
int CountColour(const Pixels& pixels, int top, int bottom, DWORD rgb);
// A system colour (COLOR_...) as 0x00RRGGBB.
DWORD SystemRgb(int index);

// The build tree's "screenshots" folder (beside bin), created when missing.
std::string ScreenshotFolder();
// Saves what the screen shows of the window as a 32-bit bitmap file; answers whether it was written.
bool SaveScreenshot(HWND window, const std::string& name);

} // namespace tray_test
