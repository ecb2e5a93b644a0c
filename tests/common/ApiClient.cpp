#include "tests/common/ApiClient.h"

#include "tests/common/TestSupport.h"

namespace test {

namespace {

constexpr const char* ClassName = "ApiTestClient";

HWND FindQuestion() {
    return FindWindowA("SipLinkAccess", nullptr);
}

} // namespace

ApiClient::ApiClient() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = ClassName;
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, ClassName, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ApiClient::~ApiClient() {
    DestroyWindow(window);
}

HWND ApiClient::Discover(DWORD timeoutMs) {
    api = nullptr;
    statuses.clear();
    SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("SkypeControlAPIDiscover"),
                        reinterpret_cast<WPARAM>(window), 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    WaitUntil([&] { return Pump(), api != nullptr; }, timeoutMs);
    return api;
}

HWND ApiClient::Attach(DWORD timeoutMs) {
    if (Discover(1000))
        return api;
    if (AnswerAccessQuestion("Allow", timeoutMs))
        WaitUntil([&] { return Pump(), api != nullptr; }, timeoutMs);
    return api;
}

LRESULT ApiClient::Command(const void* data, DWORD size, HWND from) {
    COPYDATASTRUCT copy = {0, size, const_cast<void*>(data)};
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(api, WM_COPYDATA, reinterpret_cast<WPARAM>(from ? from : window),
                        reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, 5000, &answer);
    return static_cast<LRESULT>(answer);
}

LRESULT ApiClient::Command(const std::string& text) {
    return Command(text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool ApiClient::WaitForNotes(size_t count, DWORD timeoutMs) {
    return WaitUntil([&] { return Pump(), notes.size() >= count; }, timeoutMs);
}

bool ApiClient::WaitForStatus(LPARAM status, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            Pump();
            for (LPARAM seen : statuses)
                if (seen == status)
                    return true;
            return false;
        },
        timeoutMs);
}

void ApiClient::Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

LRESULT CALLBACK ApiClient::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* current = reinterpret_cast<ApiClient*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (current && message == RegisterWindowMessageA("SkypeControlAPIAttach")) {
        current->statuses.push_back(lParam);
        if (lParam == 0)
            current->api = reinterpret_cast<HWND>(wParam);
        return 1;
    }
    if (current && message == WM_COPYDATA) {
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        current->notes.emplace_back(static_cast<const char*>(copy->lpData));
        current->senders.push_back(reinterpret_cast<HWND>(wParam));
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool WaitForAccessQuestion(DWORD timeoutMs, std::string* text) {
    HWND question = nullptr;
    if (!WaitUntil([&] { return ApiClient::Pump(), (question = FindQuestion()) != nullptr; }, timeoutMs))
        return false;
    if (text) {
        char buffer[1024] = "";
        GetWindowTextA(FindWindowExA(question, nullptr, "Static", nullptr), buffer, sizeof buffer);
        *text = buffer;
    }
    return true;
}

bool AnswerAccessQuestion(const char* button, DWORD timeoutMs) {
    if (!WaitForAccessQuestion(timeoutMs))
        return false;
    HWND question = FindQuestion();
    HWND pressed = FindWindowExA(question, nullptr, "Button", button);
    if (!pressed)
        return false;
    UserClick(pressed);
    return WaitUntil([&] { return ApiClient::Pump(), FindQuestion() == nullptr; }, timeoutMs);
}

void UserClick(HWND window) {
    RECT area = {};
    GetWindowRect(window, &area);
    SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
}

void UserKey(WORD key) {
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_KEYBOARD;
    press[0].ki.wVk = press[1].ki.wVk = key;
    press[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, press, sizeof(INPUT));
}

} // namespace test
