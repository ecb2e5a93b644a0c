// SipLink.exe: takes the Skype client's place on the window-message API and drives a SIP user agent
// through its control connection.
//   SipLink.exe [--log PATH]                         run its own agent for the user's stored account
//   SipLink.exe --control HOST:PORT [--log PATH]     drive an agent the user runs himself
//   SipLink.exe --settings                           the SIP account window
//   SipLink.exe --uninstall                          remove the registry key SipLink created
// One SipLink runs per user session (SessionInstance): a later start shows the running one and ends.
// The agent's control port has no authentication: a HOST off this machine is refused unless
// --allow-remote-control-unauthenticated is given too.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "siplink/AgentSocket.h"
#include "siplink/ApiWindow.h"
#include "siplink/HiddenWindow.h"
#include "siplink/InstallKey.h"
#include "siplink/LogFile.h"
#include "siplink/SessionInstance.h"
#include "siplink/SipLink.h"
#include "siplink/TrayIcon.h"
#include "siplink/TrayTip.h"
#include "siplink/account/AccountWindow.h"
#include "siplink/account/OwnAgent.h"

namespace {

constexpr const char* MainClassName = "SipLinkMain";
constexpr const char* MainTitle = "SipLink";
constexpr UINT WM_AGENT_SOCKET = WM_APP + 10;
// A send that failed is taken as the connection lost once the link is done with what it was doing.
constexpr UINT WM_AGENT_BROKEN = WM_APP + 11;
constexpr UINT_PTR TickTimer = 1;
constexpr UINT TickMs = 250;
constexpr DWORD ReconnectMs = 1000;
constexpr DWORD PresenceMs = 3000;
// An agent that leaves a command unanswered this long is taken as hung: the connection starts again.
constexpr DWORD ReplyTimeoutMs = 5000;

constexpr const char* RemoteControlFlag = "--allow-remote-control-unauthenticated";

struct Options {
    sockaddr_in agent = {};
    std::string logPath;
    bool uninstall = false;
    bool settings = false;
    bool ownAgent = true; // no --control: SipLink runs the agent for the stored account
    bool allowRemoteControl = false;
};

bool IsLoopback(const sockaddr_in& address) {
    return (ntohl(address.sin_addr.s_addr) >> 24) == 127;
}

std::string AddressText(const sockaddr_in& address) {
    char host[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(address.sin_port));
}

bool ParseAddress(const std::string& text, sockaddr_in& address) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    char* end = nullptr;
    unsigned long port = std::strtoul(text.c_str() + colon + 1, &end, 10);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    return *end == '\0' && port > 0 && port < 65536 &&
           inet_pton(AF_INET, text.substr(0, colon).c_str(), &address.sin_addr) == 1;
}

bool ParseOptions(int count, char** words, Options& options) {
    ParseAddress("127.0.0.1:4444", options.agent);
    for (int i = 1; i < count; ++i) {
        std::string word = words[i];
        if (word == "--uninstall")
            options.uninstall = true;
        else if (word == "--settings")
            options.settings = true;
        else if (word == "--control" && i + 1 < count && ParseAddress(words[i + 1], options.agent))
            ++i, options.ownAgent = false;
        else if (word == "--log" && i + 1 < count)
            options.logPath = words[++i];
        else if (word == RemoteControlFlag)
            options.allowRemoteControl = true;
        else
            return false;
    }
    return true;
}

// The whole run: the main window (hidden; WM_CLOSE ends SipLink) owns the link, the agent connection and
// the API window, and drives them from the socket's messages and one timer.
class Shell : public LinkOutput {
  public:
    explicit Shell(const Options& options) : options(options) { log.Open(options.logPath); }
    ~Shell() override;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    bool Create();

    bool Notify(const std::string& text) override { return api.Notify(text); }
    void ToAgent(const std::string& frame) override;
    void Log(const std::string& tag, const std::string& text) override { log.Write(tag, HidePassword(text)); }
    void Registration(const std::string& type, const std::string& param) override;
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    void OnSocket(WPARAM wParam, LPARAM lParam);
    void OnTick();
    // The connection is gone or given up: the program is told, the API window closes.
    void Lose(const std::string& why);
    void RegisterRestart();
    // The program finds SipLink while the agent is connected and, with SipLink's own agent, registered.
    void UpdateOffer(bool agentConnected);
    // The notification area's icon and tip follow the line's state.
    void ShowState();
    void OnTray(TrayIcon::Command command);

    Options options;
    LogFile log;
    HWND main = nullptr;
    std::unique_ptr<AgentSocket> socket; // made with the main window
    SipLink link{*this};
    ApiWindow api{log, [this](const std::string& command) { link.Command(command); },
                  [this] { link.ClientAttached(); }};
    bool offered = false; // the API window is there
    std::unique_ptr<OwnAgent> own;
    TrayIcon tray{log, [this](TrayIcon::Command command) { OnTray(command); }};
    DWORD sentAt = 0;
    DWORD lastAttempt = 0;
    DWORD lastPoll = 0;
};

Shell::~Shell() {
    tray.BeginRemoval();
    // The agent is asked to end in order; End forces it after a grace.
    if (own && link.Connected())
        ToAgent(EncodeNetstring(AgentCommandJson("quit", "", "quit")));
    Lose("SipLink ends");
    if (own)
        own->End();
    if (main) {
        KillTimer(main, TickTimer);
        DestroyWindow(main);
    }
}

bool Shell::Create() {
    main = CreateHiddenWindow(MainClassName, MainTitle, this);
    if (!main)
        return false;
    socket = std::make_unique<AgentSocket>(main, WM_AGENT_SOCKET);
    if (options.ownAgent) {
        own = std::make_unique<OwnAgent>(
            [this](const std::string& command, const std::string& params) {
                link.AgentCommand(command, params);
            },
            [this](const std::string& tag, const std::string& text) { Log(tag, text); },
            // The line follows the registration, and the icon the line, in one step.
            [this] { UpdateOffer(link.Connected()); });
        own->Begin(GetTickCount());
    }
    if (!tray.Create())
        log.Write("TRAY", "no window for the notification area's icon");
    ShowState();
    SetTimer(main, TickTimer, TickMs, nullptr);
    lastAttempt = GetTickCount() - ReconnectMs;
    if (!IsLoopback(options.agent))
        log.Write("WARNING", "the agent's control port " + AddressText(options.agent) +
                                 " is off this machine and asks no password: whoever reaches it can dial");
    OnTick();
    log.Write("READY", "");
    RegisterRestart();
    return true;
}

// Windows starts SipLink again, with the same arguments, when it ends by a crash or a hang (after a minute
// of running); not after a reboot, where the user's Run value starts it.
void Shell::RegisterRestart() {
    const wchar_t* arguments = GetCommandLineW();
    bool quoted = false;
    for (; *arguments && (quoted || (*arguments != L' ' && *arguments != L'\t')); ++arguments)
        if (*arguments == L'"')
            quoted = !quoted;
    while (*arguments == L' ' || *arguments == L'\t')
        ++arguments;
    HRESULT result = RegisterApplicationRestart(arguments, RESTART_NO_REBOOT);
    char text[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, arguments, -1, text, sizeof text, nullptr, nullptr);
    log.Write("RESTART", std::string(text) + (SUCCEEDED(result) ? "" : " (not registered)"));
}

void Shell::ToAgent(const std::string& frame) {
    log.Write("AGENT>", HidePassword(frame));
    sentAt = GetTickCount();
    if (!socket->Send(frame))
        PostMessageA(main, WM_AGENT_BROKEN, 0, 0);
}

LRESULT Shell::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_AGENT_SOCKET:
        OnSocket(wParam, lParam);
        return 0;
    case WM_AGENT_BROKEN:
        Lose("the connection took no more");
        return 0;
    case WM_TIMER:
        OnTick();
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        if (message == SessionInstance::ShowMessage()) {
            log.Write("SHOW", "SipLink was started again: its account window is shown");
            OnTray(TrayIcon::OpenAccount);
            return 1;
        }
        if (message == AccountChangedMessage() && own) {
            own->Reload(GetTickCount(), link.Connected());
            UpdateOffer(link.Connected());
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void Shell::OnSocket(WPARAM wParam, LPARAM lParam) {
    std::string received;
    switch (socket->OnMessage(wParam, lParam, received)) {
    case AgentSocket::Connected:
        log.Write("CONNECTED", "");
        // The API window is there before the agent hears from SipLink: whoever waits for the agent's first
        // command finds SipLink already.
        UpdateOffer(true);
        link.AgentConnected();
        if (own)
            own->Connected(GetTickCount());
        lastPoll = GetTickCount();
        break;
    case AgentSocket::Received:
        log.Write("AGENT<", HidePassword(received));
        link.AgentBytes(received.data(), received.size());
        break;
    case AgentSocket::Closed:
        Lose("the agent closed the connection");
        break;
    case AgentSocket::Nothing:
        break;
    }
}

void Shell::OnTick() {
    DWORD now = GetTickCount();
    if (link.Connected() && link.AwaitingReply() && now - sentAt >= ReplyTimeoutMs) {
        Lose("the agent did not answer");
    } else if (link.Connected() && now - lastPoll >= PresenceMs) {
        lastPoll = now;
        link.PollPresence();
    }
    if (own) {
        own->Tick(now, link.Connected());
        options.agent.sin_port = htons(static_cast<u_short>(own->ControlPort()));
    }
    if (!socket->Busy() && now - lastAttempt >= ReconnectMs && (!own || own->Ready())) {
        lastAttempt = now;
        socket->Connect(options.agent);
    }
}

void Shell::Registration(const std::string& type, const std::string& param) {
    if (!own)
        return;
    own->RegisterEvent(type, param, GetTickCount());
    UpdateOffer(link.Connected());
}

void Shell::UpdateOffer(bool agentConnected) {
    bool wanted = agentConnected && (!own || own->Registered());
    if (wanted && !offered) {
        offered = api.Create();
        if (!offered)
            Lose("no API window");
    } else if (!wanted && offered) {
        // What Skype says when its user goes away: the program asks again and so finds the link gone.
        api.Notify("USERSTATUS LOGGEDOUT");
        api.Destroy();
        offered = false;
    }
    ShowState();
}

void Shell::ShowState() {
    // An agent of the user's own is connected exactly while the line is offered.
    std::string tip =
        own ? RegistrationTip(own->State(), own->Address()) : ControlTip(offered, AddressText(options.agent));
    tray.Show(offered, tip);
}

void Shell::OnTray(TrayIcon::Command command) {
    if (command == TrayIcon::Exit) {
        log.Write("EXIT", "chosen in the notification area's menu");
        PostMessageA(main, WM_CLOSE, 0, 0);
    } else if (!OpenAccountWindow()) {
        log.Write("ACCOUNT-WINDOW", "could not be started");
    }
}

void Shell::Lose(const std::string& why) {
    bool wasConnected = link.Connected();
    if (socket)
        socket->Close();
    link.AgentLost();
    api.Destroy();
    offered = false;
    if (wasConnected)
        log.Write("LOST", why);
    ShowState();
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Options options;
    if (!ParseOptions(__argc, __argv, options))
        return 2;
    if (options.uninstall)
        return RemoveSkypeKey() ? 0 : 1;
    if (options.settings)
        return RunAccountWindow();
    if (!IsLoopback(options.agent) && !options.allowRemoteControl) {
        LogFile log;
        log.Open(options.logPath);
        log.Write("REFUSED", "the agent's control port " + AddressText(options.agent) +
                                 " is off this machine and asks no password; give " + RemoteControlFlag +
                                 " to use it all the same");
        return 2;
    }
    SessionInstance instance;
    switch (instance.Claim(MainClassName)) {
    case SessionInstance::First:
        break;
    case SessionInstance::HandedOver:
        return 0;
    case SessionInstance::NoAnswer:
        return 3;
    }
    EnsureSkypeKey();
    WSADATA winsock;
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0)
        return 1;
    int result = 1;
    {
        Shell shell(options);
        if (shell.Create()) {
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0)
                DispatchMessageA(&msg);
            result = 0;
        }
    }
    WSACleanup();
    return result;
}
