#pragma once
// Top-level windows of a class of their own, whose messages go to their owner's
// Handle(window, message, wParam, lParam) from creation on: hidden ones (the discover message is
// broadcast to top-level windows), SipLink's own question to its user and the account window. The one
// window procedure serves ANSI and Unicode windows alike.
#include <windows.h>

namespace hidden_window {

template <class Owner> LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (owner)
        return owner->Handle(window, message, wParam, lParam);
    return IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                   : DefWindowProcA(window, message, wParam, lParam);
}

} // namespace hidden_window

// A window of the given style and client size, centred on the screen (a size of 0: none, at the corner),
// shown by the caller.
template <class Owner>
HWND CreateOwnedWindow(const char* className, const char* title, DWORD style, int width, int height,
                       Owner* owner) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = hidden_window::Procedure<Owner>;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    int outerWidth = width ? frame.right - frame.left : 0;
    int outerHeight = height ? frame.bottom - frame.top : 0;
    int x = outerWidth ? (GetSystemMetrics(SM_CXSCREEN) - outerWidth) / 2 : 0;
    int y = outerHeight ? (GetSystemMetrics(SM_CYSCREEN) - outerHeight) / 2 : 0;
    return CreateWindowExA(0, className, title, style, x, y, outerWidth, outerHeight, nullptr, nullptr,
                           GetModuleHandleA(nullptr), owner);
}

template <class Owner> HWND CreateHiddenWindow(const char* className, const char* title, Owner* owner) {
    return CreateOwnedWindow(className, title, WS_OVERLAPPED, 0, 0, owner);
}
