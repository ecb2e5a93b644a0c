#pragma once
// How the handset's parts are drawn: the body, the display rows, the lights and the keys.
#include <windows.h>

// Window classes of the display rows and the lights. Both draw their window text; a nonzero
// GWLP_USERDATA lights them (a display row's backlight, a light's lamp).
constexpr const char* DisplayRowClass = "HandsetDisplayRow";
constexpr const char* LightClass = "HandsetLight";

// The handset window's own class, with its procedure, and the classes of its parts.
void RegisterHandsetClasses(const char* handsetClass, WNDPROC handsetProcedure);
// The handset's body behind its parts.
void PaintBody(HWND window, HDC dc);
// An owner-drawn key (WM_DRAWITEM).
void DrawKey(const DRAWITEMSTRUCT& item);
// Text and background of the "Base plugged in" check box on the body (WM_CTLCOLORSTATIC).
HBRUSH BodyControlColour(HDC dc);
void DeletePaintObjects();
