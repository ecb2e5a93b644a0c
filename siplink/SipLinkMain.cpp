// SipLink.exe: takes the Skype client's place on the window-message API and is a SIP phone itself.
//   SipLink.exe [--log PATH]     the phone for the user's stored account
//   SipLink.exe --settings       the SIP account window
//   SipLink.exe --uninstall      remove the registry key SipLink created
// One SipLink runs per user session (SessionInstance): a later start shows the running one and ends.
#include <windows.h>

#include <memory>
#include <string>

#include "siplink/ApiWindow.h"
#include "siplink/ContactsFile.h"
#include "siplink/HiddenWindow.h"
#include "siplink/InstallKey.h"
#include "siplink/Line.h"
#include "siplink/LogFile.h"
#include "siplink/SessionInstance.h"
#include "siplink/SipLink.h"
#include "siplink/TrayIcon.h"
#include "siplink/TrayTip.h"
#include "siplink/WideText.h"
#include "siplink/account/AccountStore.h"
#include "siplink/account/AccountWindow.h"
#include "siplink/phone/Phone.h"
#include "siplink/sound/SoundPort.h"

namespace {

constexpr const char* MainClassName = "SipLinkMain";
constexpr const char* MainTitle = "SipLink";
constexpr UINT WM_PHONE = WM_APP + 10;
constexpr UINT_PTR TickTimer = 1;
constexpr UINT TickMs = 250;
// How often the contacts file and the panel's country code are looked at.
constexpr DWORD LookMs = 3000;

// The options of earlier versions that drove a user agent of the user's own: a Run value may still carry
// them. They are logged and ignored; SipLink is the phone itself now.
constexpr const char* ControlOption = "--control";
constexpr const char* RemoteControlOption = "--allow-remote-control-unauthenticated";

struct Options {
    std::string logPath;
    bool uninstall = false;
    bool settings = false;
    std::string ignored; // options of earlier versions, as given
};

bool ParseOptions(int count, char** words, Options& options) {
    for (int i = 1; i < count; ++i) {
        std::string word = words[i];
        if (word == "--uninstall")
            options.uninstall = true;
        else if (word == "--settings")
            options.settings = true;
        else if (word == "--log" && i + 1 < count)
            options.logPath = words[++i];
        else if (word == ControlOption && i + 1 < count)
            options.ignored += word + " " + words[++i] + " ";
        else if (word == RemoteControlOption)
            options.ignored += word + " ";
        else
            return false;
    }
    return true;
}

// The phone's sound on the system's wave devices (siplink/sound/), chosen by name in the account.
class DeviceSound : public phone::Sound {
  public:
    explicit DeviceSound(Handlers handlers)
        : port({std::move(handlers.captured), std::move(handlers.nextToPlay),
                std::move(handlers.deviceState)}) {}
    void Start(const std::string& speaker, const std::string& microphone) override {
        port.Start(speaker, microphone);
    }
    void Stop() override { port.Stop(); }
    void DevicesChanged() override { port.DevicesChanged(); }

  private:
    sound::SoundPort port;
};

// SipLink's own phone (siplink/phone/) behind the port the link and the line use.
class BuiltInPhone : public PhonePort {
  public:
    BuiltInPhone(HWND window, UINT message)
        : facade(window, message, [](phone::Sound::Handlers handlers) -> std::unique_ptr<phone::Sound> {
              return std::make_unique<DeviceSound>(std::move(handlers));
          }) {}
    bool Started() const { return facade.Started(); }

    void Apply(const phone::Settings& settings, bool registerAgain) override {
        facade.Apply(settings, registerAgain);
    }
    void Register() override { facade.Register(); }
    void Unregister() override { facade.Unregister(); }
    phone::CallId Dial(const std::string& target) override { return facade.Dial(target); }
    void Answer(phone::CallId call) override { facade.Answer(call); }
    void Hangup(phone::CallId call) override { facade.Hangup(call); }
    void SendDigit(phone::CallId call, char key) override { facade.SendDigit(call, key); }
    void WatchPresence(const std::vector<std::string>& uris) override { facade.WatchPresence(uris); }
    void DevicesChanged() override { facade.DevicesChanged(); }
    std::vector<phone::Event> TakeEvents() override { return facade.TakeEvents(); }

  private:
    phone::Phone facade;
};

// One line of the log for a phone event, in the phone's own words for a call's end.
std::string EventText(const phone::Event& event) {
    using Kind = phone::Event::Kind;
    std::string call = std::to_string(event.call);
    switch (event.kind) {
    case Kind::Registration: {
        const char* const states[] = {"unregistered", "registering", "registered", "refused", "unreachable"};
        return std::string(states[static_cast<int>(event.registration)]) + " " + std::to_string(event.code) +
               " " + event.reason;
    }
    case Kind::Incoming:
        return "incoming " + call + " from " + event.peerUri + " \"" + event.peerName + "\"";
    case Kind::Progress:
        return "progress " + call + (event.earlyMedia ? " with early media" : "");
    case Kind::Established:
        return "established " + call;
    case Kind::Closed:
        return "closed " + call + ": " + phone::Describe(event.end, event.code, event.reason);
    case Kind::Presence:
        return "presence " + event.peerUri + " " + std::to_string(static_cast<int>(event.presence));
    case Kind::Sound:
        return event.missingDevice.empty() ? "sound devices all there"
                                           : "sound device missing: " + event.missingDevice;
    }
    return "";
}

// The whole run: the main window (hidden; WM_CLOSE ends SipLink) owns the phone, the link, the line, the
// API window and the icon, and drives them from the phone's messages, the program's commands and one timer.
class Shell : public LinkOutput, public LineOutput {
  public:
    explicit Shell(const Options& options) : options(options) { log.Open(options.logPath); }
    ~Shell() override;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    bool Create();
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    bool Notify(const std::string& text) override { return api.Notify(text); }
    void Log(const std::string& tag, const std::string& text) override { log.Write(tag, text); }
    void Offer(bool offered) override;
    void Changed() override;

  private:
    void OnPhoneEvents();
    void OnCommand(const std::string& command);
    void OnTick();
    void ShowState();
    void OnTray(TrayIcon::Command command);
    void RegisterRestart();

    Options options;
    LogFile log;
    HWND main = nullptr;
    // Made with the main window, whose message announces the phone's events.
    std::unique_ptr<BuiltInPhone> phone;
    std::unique_ptr<SipLink> link;
    std::unique_ptr<Line> line;
    ApiWindow api{log, [this](const std::string& command) { OnCommand(command); },
                  [this] { link->ClientAttached(); }};
    TrayIcon tray{log, [this](TrayIcon::Command command) { OnTray(command); }};
    ContactsFile contacts{SipLinkFolder() + L"\\contacts"};
    DWORD lastLook = 0;        // at the contacts file and the panel's country code
    std::string countryCode;   // the panel's, as the line has it
    std::string missingDevice; // a chosen sound device the phone does not find
};

Shell::~Shell() {
    tray.BeginRemoval();
    if (line)
        line->Close();
    api.Destroy();
    // The phone ends its calls and unregisters before it goes.
    line.reset();
    link.reset();
    phone.reset();
    if (main) {
        KillTimer(main, TickTimer);
        DestroyWindow(main);
    }
    log.Write("ENDED", "");
}

bool Shell::Create() {
    main = CreateHiddenWindow(MainClassName, MainTitle, this);
    if (!main)
        return false;
    if (!options.ignored.empty())
        log.Write("IGNORED", options.ignored + "(SipLink is the SIP phone itself; it drives no user agent)");
    phone = std::make_unique<BuiltInPhone>(main, WM_PHONE);
    link = std::make_unique<SipLink>(*phone, *this);
    line = std::make_unique<Line>(phone->Started() ? phone.get() : nullptr, *link, *this);
    if (!tray.Create())
        log.Write("TRAY", "no window for the notification area's icon");
    countryCode = LoadCountryCode();
    line->Start(LoadAccount(), countryCode, GetTickCount());
    SetTimer(main, TickTimer, TickMs, nullptr);
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
    log.Write("RESTART", Utf8FromWide(arguments) + (SUCCEEDED(result) ? "" : " (not registered)"));
}

LRESULT Shell::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PHONE:
        OnPhoneEvents();
        return 0;
    case WM_TIMER:
        OnTick();
        return 0;
    case WM_DEVICECHANGE:
        if (phone)
            phone->DevicesChanged();
        return TRUE;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        if (message == SessionInstance::ShowMessage()) {
            log.Write("SHOW", "SipLink was started again: its account window is shown");
            OnTray(TrayIcon::OpenAccount);
            return 1;
        }
        if (message == AccountChangedMessage() && line) {
            log.Write("ACCOUNT", "stored anew by the account window");
            countryCode = LoadCountryCode();
            line->Stored(LoadAccount(), countryCode, GetTickCount());
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void Shell::OnPhoneEvents() {
    for (const phone::Event& event : phone->TakeEvents()) {
        log.Write("PHONE", EventText(event));
        if (event.kind == phone::Event::Kind::Registration) {
            line->OnRegistration(event, GetTickCount());
        } else if (event.kind == phone::Event::Kind::Sound) {
            missingDevice = event.missingDevice;
            Changed();
        } else {
            link->OnPhoneEvent(event);
        }
    }
    line->Review(GetTickCount());
}

void Shell::OnCommand(const std::string& command) {
    link->Command(command);
    line->Review(GetTickCount());
}

void Shell::OnTick() {
    DWORD now = GetTickCount();
    line->Tick(now);
    if (!api.HasClient())
        link->ClientGone();
    line->Review(now);
    if (now - lastLook < LookMs && lastLook != 0)
        return;
    lastLook = now;
    // The country code chooses the phone's tones; DectBridge's panel may change it at any time.
    std::string panelCode = LoadCountryCode();
    if (panelCode != countryCode) {
        countryCode = panelCode;
        log.Write("COUNTRY", "the panel's country code is now \"" + countryCode + "\"");
        line->Stored(LoadAccount(), countryCode, now);
    }
    std::string text;
    if (contacts.Changed(text)) {
        std::vector<Contact> list = ParseContactsFile(text);
        log.Write("CONTACTS", std::to_string(list.size()) + " in the contacts file");
        link->SetContacts(std::move(list));
    }
}

void Shell::Offer(bool offered) {
    if (offered && !api.Create())
        log.Write("API-WINDOW", "could not be made: the line is not offered");
    else if (!offered)
        api.Destroy();
    ShowState();
}

void Shell::Changed() {
    std::string status = line->Describe();
    if (!missingDevice.empty())
        status += " The sound device \"" + missingDevice + "\" is missing.";
    SaveStatus(status);
    ShowState();
}

void Shell::ShowState() {
    tray.Show(line->Offered(), RegistrationTip(line->State(), line->Address(), missingDevice));
}

void Shell::OnTray(TrayIcon::Command command) {
    if (command == TrayIcon::Exit) {
        log.Write("EXIT", "chosen in the notification area's menu");
        PostMessageA(main, WM_CLOSE, 0, 0);
    } else if (!OpenAccountWindow()) {
        log.Write("ACCOUNT-WINDOW", "could not be started");
    }
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
    Shell shell(options);
    if (!shell.Create())
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
