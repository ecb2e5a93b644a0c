#include "siplink/AccessPrompt.h"

#include <windowsx.h>

#include "siplink/HiddenWindow.h"
#include "siplink/WideText.h"

namespace {

constexpr const char* ClassName = "SipLinkAccess";
constexpr const char* Title = "SipLink: a program asks for the line";
constexpr int AllowId = 1;
constexpr int DenyId = 2;

HWND Child(HWND parent, const char* className, const char* text, DWORD style, int x, int y, int width,
           int height, int id) {
    HWND child = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return child;
}

} // namespace

bool AccessPrompt::Ask(const std::string& question) {
    Close();
    window = CreateOwnedWindow(ClassName, Title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 420, 170, this);
    if (!window)
        return false;
    // The question names programs by their paths in UTF-8: a Unicode control shows them as they are.
    HWND text = CreateWindowExW(0, L"STATIC", WideFromUtf8(question).c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT,
                                12, 12, 390, 80, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    allow = Button("Allow", 210, AllowId);
    deny = Button("Deny", 310, DenyId);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(deny);
    return true;
}

HWND AccessPrompt::Button(const char* text, int x, int id) {
    HWND button = Child(window, "BUTTON", text, BS_PUSHBUTTON | WS_TABSTOP, x, 100, 90, 26, id);
    SetWindowLongPtrA(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    buttonDefault = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonProcedure)));
    return button;
}

void AccessPrompt::Close() {
    if (!window)
        return;
    HWND closing = window;
    window = allow = deny = pressed = nullptr;
    DestroyWindow(closing);
}

void AccessPrompt::Answer(bool allowed) {
    Close();
    onAnswer(allowed);
}

LRESULT CALLBACK AccessPrompt::ButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<AccessPrompt*>(GetWindowLongPtrA(button, GWLP_USERDATA));
    return self->OnButton(button, message, wParam, lParam);
}

LRESULT AccessPrompt::OnButton(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC own = buttonDefault;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        pressed = UsersInput(button, VK_LBUTTON, true) ? button : nullptr;
        break;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE)
            pressed = UsersInput(button, VK_SPACE, true) ? button : nullptr;
        // There is no dialog manager here: Tab and the arrows move between the two buttons.
        if (wParam == VK_TAB || wParam == VK_LEFT || wParam == VK_RIGHT) {
            SetFocus(button == allow ? deny : allow);
            return 0;
        }
        break;
    case WM_LBUTTONUP:
    case WM_KEYUP: {
        if (message == WM_KEYUP && wParam != VK_SPACE)
            break;
        bool users =
            pressed == button && UsersInput(button, message == WM_KEYUP ? VK_SPACE : VK_LBUTTON, false);
        pressed = nullptr;
        if (!users)
            break;
        // The button tells its click from inside this release; the answer may close the window meanwhile.
        releasing = button;
        LRESULT result = CallWindowProcA(own, button, message, wParam, lParam);
        releasing = nullptr;
        return result;
    }
    }
    return CallWindowProcA(own, button, message, wParam, lParam);
}

bool AccessPrompt::UsersInput(HWND button, int key, bool down) const {
    if (InSendMessage() || GetForegroundWindow() != window || ((GetKeyState(key) & 0x8000) != 0) != down)
        return false;
    if (key != VK_LBUTTON)
        return GetFocus() == button;
    // Where the pointer was when the click happened, not where it is now.
    DWORD at = GetMessagePos();
    POINT point = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    return WindowFromPoint(point) == button;
}

LRESULT AccessPrompt::Handle(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        // Only the click the user's own release of a button makes; any other WM_COMMAND is someone else's.
        if (releasing && reinterpret_cast<HWND>(lParam) == releasing && HIWORD(wParam) == BN_CLICKED)
            Answer(releasing == allow);
        return 0;
    case WM_CLOSE: // anyone may deny
        Answer(false);
        return 0;
    default:
        return DefWindowProcA(handle, message, wParam, lParam);
    }
}
