#include "siplink/AccessPrompt.h"

#include "siplink/HiddenWindow.h"

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
    Child(window, "STATIC", question.c_str(), SS_LEFT, 12, 12, 390, 80, 0);
    Child(window, "BUTTON", "Allow", BS_DEFPUSHBUTTON | WS_TABSTOP, 210, 100, 90, 26, AllowId);
    Child(window, "BUTTON", "Deny", BS_PUSHBUTTON | WS_TABSTOP, 310, 100, 90, 26, DenyId);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    return true;
}

void AccessPrompt::Close() {
    if (!window)
        return;
    HWND closing = window;
    window = nullptr;
    DestroyWindow(closing);
}

void AccessPrompt::Answer(bool allowed) {
    Close();
    onAnswer(allowed);
}

LRESULT AccessPrompt::Handle(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == AllowId || LOWORD(wParam) == DenyId)
            Answer(LOWORD(wParam) == AllowId);
        return 0;
    case WM_CLOSE:
        Answer(false);
        return 0;
    default:
        return DefWindowProcA(handle, message, wParam, lParam);
    }
}
