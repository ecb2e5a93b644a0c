// The Skype API peer program: its two windows, the delivery of notifications and attach replies, the
// command log and the registry key that tells programs Skype is installed.
#include <cstdio>
#include <cstdlib>

#include "sim/skype/Peer.h"
#include "sim/skype/PeerWindow.h"

namespace peer {

State state;

namespace {

constexpr const char* InstallKey = "SOFTWARE\\Skype\\Phone";
constexpr UINT WM_DELIVER = WM_APP + 1;
constexpr UINT_PTR DeliverTimer = 1;
// The client is a program under test: it may hang, the peer must not.
constexpr UINT SendTimeoutMs = 5000;

void Deliver(const Outgoing& item);

// Sends every item that is due, earliest first (queue order among equals), then waits for the next one.
// Items are taken off before they are sent: the client may send commands meanwhile, which add items.
void DeliverDue() {
    KillTimer(state.api, DeliverTimer);
    for (;;) {
        auto next = state.outgoing.end();
        for (auto it = state.outgoing.begin(); it != state.outgoing.end(); ++it)
            if (next == state.outgoing.end() || it->due < next->due)
                next = it;
        if (next == state.outgoing.end())
            return;
        DWORD now = Now();
        if (next->due > now) {
            SetTimer(state.api, DeliverTimer, next->due - now, nullptr);
            return;
        }
        Outgoing item = *next;
        state.outgoing.erase(next);
        Deliver(item);
    }
}

void SendCopyData(const char* tag, const std::string& text, const void* data, DWORD size) {
    if (!state.client) {
        Log("DROP", text);
        return;
    }
    COPYDATASTRUCT copy = {0, size, const_cast<void*>(data)};
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(state.client, WM_COPYDATA, reinterpret_cast<WPARAM>(state.api),
                             reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, SendTimeoutMs, &answer))
        answer = 0;
    Log(tag, text + (answer ? "" : "  (not taken)"));
}

void Deliver(const Outgoing& item) {
    switch (item.kind) {
    case Outgoing::Text:
        SendCopyData("SEND", item.text, item.text.c_str(), static_cast<DWORD>(item.text.size() + 1));
        break;
    case Outgoing::Unterminated:
        SendCopyData("SEND", item.text, item.text.data(), static_cast<DWORD>(item.text.size()));
        break;
    case Outgoing::NullData:
        SendCopyData("SEND", "(no data)", nullptr, 0);
        break;
    case Outgoing::AttachReply:
        Log("ATTACH", std::to_string(item.attachStatus) + (item.attachWindow ? "" : " window 0"));
        if (state.client)
            SendMessageTimeoutA(state.client, state.attachMessage,
                                reinterpret_cast<WPARAM>(item.attachWindow), item.attachStatus, SMTO_NORMAL,
                                SendTimeoutMs, nullptr);
        break;
    case Outgoing::CallStatus: {
        // A call that has ended meanwhile takes no later status (the far end cannot answer a hung-up call).
        auto call = state.calls.find(item.text);
        if (call == state.calls.end() || IsTerminalStatus(call->second.status))
            break;
        call->second.status = item.status;
        std::string text = "CALL " + item.text + " STATUS " + item.status;
        SendCopyData("SEND", text, text.c_str(), static_cast<DWORD>(text.size() + 1));
        break;
    }
    case Outgoing::Mark:
        Log("MARK", item.text);
        break;
    }
}

std::string CopyDataText(LPARAM lParam) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!copy || !copy->lpData)
        return "";
    const char* bytes = static_cast<const char*>(copy->lpData);
    size_t length = 0;
    while (length < copy->cbData && bytes[length])
        ++length;
    return std::string(bytes, length);
}

void OnDiscover(HWND client) {
    state.client = client;
    RefreshPeerWindow();
    Log("DISCOVER", std::to_string(reinterpret_cast<uintptr_t>(client)));
    const std::vector<LPARAM>& sequence = state.attachSequence;
    LPARAM status =
        sequence[state.discoverCount < sequence.size() ? state.discoverCount : sequence.size() - 1];
    ++state.discoverCount;
    if (status != NoAnswer)
        Schedule(Outgoing{Outgoing::AttachReply, Now(), "", "", status, state.api});
}

LRESULT OnCommand(LPARAM lParam) {
    std::string command = CopyDataText(lParam);
    // Skype's commands carry their terminating zero byte; anything else is shown in the log.
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    DWORD size = copy ? copy->cbData : 0;
    std::string logged =
        size == command.size() + 1 ? command : command + "  (cbData " + std::to_string(size) + ")";
    bool named = !state.refuseText.empty() && command == state.refuseText;
    if (named || state.refuseNext > 0) {
        if (named)
            state.refuseText.clear();
        else
            --state.refuseNext;
        Log("REFUSED", logged);
        ListPeerCommand(logged + "  (refused)");
        return 0;
    }
    Log("RECV", logged);
    ListPeerCommand(logged);
    AnswerCommand(command);
    return 1;
}

LRESULT CALLBACK ApiWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == state.discoverMessage && state.discoverMessage != 0) {
        OnDiscover(reinterpret_cast<HWND>(wParam));
        return 1;
    }
    switch (message) {
    case WM_COPYDATA: {
        LRESULT taken = OnCommand(lParam);
        RefreshPeerWindow();
        return taken;
    }
    case WM_DELIVER:
    case WM_TIMER:
        DeliverDue();
        RefreshPeerWindow();
        return 0;
    case WM_CLOSE: // either window ends the whole peer
        PostMessageA(state.control, WM_CLOSE, 0, 0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COPYDATA: {
        std::string command = CopyDataText(lParam);
        bool understood = RunControl(command);
        Log(understood ? "CONTROL" : "CONTROL?", command);
        RefreshPeerWindow();
        return understood ? 1 : 0;
    }
    case WM_CLOSE:
        DestroyWindow(state.api);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND CreatePeerWindow(const char* className, const char* title, WNDPROC procedure) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    // Top-level (the discover message is broadcast to top-level windows) and never shown.
    return CreateWindowExA(0, className, title, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

std::vector<std::string> CommandLineWords() {
    std::vector<std::string> words;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; arguments && i < count; ++i) {
        char text[1024] = "";
        WideCharToMultiByte(CP_ACP, 0, arguments[i], -1, text, sizeof text, nullptr, nullptr);
        words.push_back(text);
    }
    LocalFree(arguments);
    return words;
}

struct Options {
    std::string logPath;
    bool createKey = true;
    bool window = false;               // the window for a person
    std::vector<std::string> controls; // run as control commands before the windows take messages
};

// /log PATH, /noregistry, and every other /NAME VALUE runs as the control command "NAME VALUE".
bool ParseOptions(Options& options) {
    std::vector<std::string> words = CommandLineWords();
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "/noregistry") {
            options.createKey = false;
        } else if (word == "/window") {
            options.window = true;
        } else if (word.size() > 1 && word[0] == '/' && i + 1 < words.size()) {
            std::string value = words[++i];
            if (word == "/log")
                options.logPath = value;
            else
                options.controls.push_back(word.substr(1) + " " + value);
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

DWORD Now() {
    return GetTickCount() - state.startTick;
}

void Log(const char* tag, const std::string& text) {
    if (state.log == INVALID_HANDLE_VALUE)
        return;
    std::string line = std::to_string(Now()) + " " + tag + " " + text + "\r\n";
    DWORD written = 0;
    WriteFile(state.log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void Schedule(const Outgoing& item) {
    state.outgoing.push_back(item);
    PostMessageA(state.api, WM_DELIVER, 0, 0);
}

void Notify(const std::string& text, DWORD delayMs) {
    Schedule(Outgoing{Outgoing::Text, Now() + delayMs, text, "", 0, nullptr});
}

void NotifyCallStatus(const std::string& callId, const std::string& status, DWORD delayMs) {
    Schedule(Outgoing{Outgoing::CallStatus, Now() + delayMs, callId, status, 0, nullptr});
}

} // namespace peer

using namespace peer;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    state.startTick = GetTickCount();
    Options options;
    if (!ParseOptions(options))
        return 2;
    if (!options.logPath.empty())
        state.log = CreateFileA(options.logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (options.createKey)
        RegCreateKeyExA(HKEY_CURRENT_USER, InstallKey, 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &key,
                        &disposition);

    state.attachMessage = RegisterWindowMessageA("SkypeControlAPIAttach");
    state.discoverMessage = RegisterWindowMessageA("SkypeControlAPIDiscover");
    state.api = CreatePeerWindow("SkypePeerApi", ApiWindowTitle, ApiWindowProc);
    state.control = CreatePeerWindow("SkypePeerControl", ControlWindowTitle, ControlWindowProc);
    int result = 0;
    for (const std::string& control : options.controls)
        if (!RunControl(control))
            result = 2;
    if (result == 0 && options.window && !OpenPeerWindow())
        result = 2;
    if (result == 0) {
        Log("READY", "");
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
    }
    ClosePeerWindow();
    if (IsWindow(state.control))
        DestroyWindow(state.control);
    if (IsWindow(state.api))
        DestroyWindow(state.api);
    // A key this run created goes with it; one that was there before stays.
    if (key) {
        RegCloseKey(key);
        if (disposition == REG_CREATED_NEW_KEY)
            RegDeleteKeyA(HKEY_CURRENT_USER, InstallKey);
    }
    if (state.log != INVALID_HANDLE_VALUE)
        CloseHandle(state.log);
    return result;
}
