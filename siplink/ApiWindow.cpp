#include "siplink/ApiWindow.h"

#include <cstring>

#include "siplink/HiddenWindow.h"

namespace {

constexpr const char* ClassName = "SipLinkApi";
constexpr const char* Title = "SipLink API";
constexpr UINT WM_DELIVER = WM_APP + 1;
// The client may hang; SipLink must not.
constexpr UINT SendTimeoutMs = 5000;

} // namespace

bool ApiWindow::Create() {
    if (window)
        return true;
    window = CreateHiddenWindow(ClassName, Title, this);
    return window != nullptr;
}

void ApiWindow::Destroy() {
    if (!window)
        return;
    DeliverQueued();
    DestroyWindow(window);
    window = nullptr;
    client = nullptr;
    log.Write("CLOSED", "");
}

void ApiWindow::Notify(const std::string& text) {
    Queue(Outgoing{false, text});
}

void ApiWindow::Queue(const Outgoing& item) {
    if (!window) {
        log.Write("DROP", item.text);
        return;
    }
    outbox.push_back(item);
    PostMessageA(window, WM_DELIVER, 0, 0);
}

void ApiWindow::DeliverQueued() {
    while (!outbox.empty()) {
        Outgoing item = outbox.front();
        outbox.pop_front();
        if (!client) {
            log.Write("DROP", item.text);
            continue;
        }
        DWORD_PTR answer = 0;
        if (item.attach) {
            log.Write("ATTACH", "0");
            SendMessageTimeoutA(client, attachMessage, reinterpret_cast<WPARAM>(window), 0, SMTO_NORMAL,
                                SendTimeoutMs, &answer);
            continue;
        }
        COPYDATASTRUCT copy = {0, static_cast<DWORD>(item.text.size() + 1),
                               const_cast<char*>(item.text.c_str())};
        if (!SendMessageTimeoutA(client, WM_COPYDATA, reinterpret_cast<WPARAM>(window),
                                 reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, SendTimeoutMs, &answer))
            answer = 0;
        log.Write("SEND", item.text + (answer ? "" : "  (not taken)"));
    }
}

LRESULT ApiWindow::OnCommand(HWND sender, const COPYDATASTRUCT* data) {
    if (!client || sender != client) {
        log.Write("IGNORED", "a command from a window that has not discovered SipLink");
        return 0;
    }
    // The text up to its first zero byte; a missing terminator is forgiven, a missing buffer is empty.
    std::string command;
    if (data && data->lpData)
        command.assign(static_cast<const char*>(data->lpData),
                       strnlen(static_cast<const char*>(data->lpData), data->cbData));
    log.Write("RECV", command);
    onCommand(command);
    return 1;
}

LRESULT ApiWindow::Handle(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == discoverMessage && discoverMessage != 0) {
        HWND discoverer = reinterpret_cast<HWND>(wParam);
        if (!IsWindow(discoverer))
            return 0;
        client = discoverer;
        log.Write("DISCOVER", std::to_string(reinterpret_cast<uintptr_t>(discoverer)));
        Queue(Outgoing{true, ""});
        return 1;
    }
    switch (message) {
    case WM_COPYDATA:
        return OnCommand(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_DELIVER:
        DeliverQueued();
        return 0;
    case WM_CLOSE: // only SipLink itself ends its API window
        return 0;
    default:
        return DefWindowProcA(handle, message, wParam, lParam);
    }
}
