#pragma once
// A hidden top-level window (the discover message is broadcast to top-level windows) of a class of its
// own, whose messages go to its owner's Handle(window, message, wParam, lParam) from creation on.
#include <windows.h>

namespace hidden_window {

template <class Owner> LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return owner ? owner->Handle(window, message, wParam, lParam)
                 : DefWindowProcA(window, message, wParam, lParam);
}

} // namespace hidden_window

template <class Owner> HWND CreateHiddenWindow(const char* className, const char* title, Owner* owner) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = hidden_window::Procedure<Owner>;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, title, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleA(nullptr), owner);
}
