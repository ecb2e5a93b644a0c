// The demonstration: DectBridge.exe between the simulated base with its handset and the Skype API peer,
// going through what a user does with it. Every step prints what the handset shows and what Skype was
// told, so the bridge's work can be followed; the run ends by itself and answers 0 when every step
// happened as it should.
//
//   Demo.exe              the scripted tour
//   Demo.exe /stay        the tour, then leaves the program and the peer running until the program exits
//   Demo.exe /shots DIR   the tour, saving pictures of the windows into DIR as it goes
//   Demo.exe /run         no tour: the windows for a person, until the program exits
// The Skype peer's window and the handset window show along with the program's in every case.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "sim/control/HandsetControl.h"
#include "sim/control/PeerControl.h"
#include "sim/control/ScreenPicture.h"
#include "sim/control/SimControl.h"
#include "sim/handset/HandsetWindow.h"

namespace {

constexpr const char* PeerLog = "c:\\temp\\SkypePeerDemo.log";
DWORD startTick = 0;
int failures = 0;
std::string shotFolder; // where the tour's pictures go; none when empty

std::string Folder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

void Say(const char* format, const std::string& text = "") {
    std::printf("%6.2f s  ", (GetTickCount() - startTick) / 1000.0);
    std::printf(format, text.c_str());
    std::printf("\n");
    std::fflush(stdout);
}

bool Expect(bool held, const std::string& what) {
    if (!held) {
        ++failures;
        Say("!! did not happen: %s", what);
    }
    return held;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

// The commands the peer has received so far, from its log.
std::vector<std::string> SkypeCommands() {
    std::vector<std::string> commands;
    for (const PeerLine& line : ReadPeerLog(PeerLog, "RECV"))
        commands.push_back(line.text);
    return commands;
}

// Waits until Skype has received a command that begins with `prefix`, and prints it.
bool WaitForCommand(const std::string& prefix, size_t from, DWORD timeoutMs = 5000) {
    std::string found;
    bool seen = WaitFor(
        [&] {
            auto commands = SkypeCommands();
            for (size_t i = from; i < commands.size(); ++i)
                if (commands[i].rfind(prefix, 0) == 0) {
                    found = commands[i];
                    return true;
                }
            return false;
        },
        timeoutMs);
    if (seen)
        Say("Skype was told:      \"%s\"", found);
    return Expect(seen, "Skype command " + prefix);
}

bool WaitForDisplayText(const std::string& text, DWORD timeoutMs = 5000) {
    bool shown =
        WaitForHandset([&](const HandsetView& view) { return view.display.rfind(text, 0) == 0; }, timeoutMs);
    Say("handset display:     \"%s\"", ReadHandset().display);
    return Expect(shown, "display " + text);
}

void PressKeys(const std::string& keys) {
    for (char key : keys) {
        HandsetPressKey(static_cast<uint8_t>(key));
        // A person presses keys a good deal slower than the base's frames travel.
        WaitUntilBaseSent(3000);
        Sleep(150);
    }
    Say("handset keys:        %s", keys);
}

bool StartProcess(const std::string& exe, const std::string& arguments, PROCESS_INFORMATION& info) {
    std::string commandLine = "\"" + exe + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, Folder().c_str(),
                          &startup, &info) != 0;
}

void Shot(HWND window, const std::string& name) {
    if (shotFolder.empty())
        return;
    std::string path = shotFolder + "\\" + name + ".bmp";
    if (SaveScreenPicture(window, path))
        Say("picture saved:       %s", path);
    else
        Say("!! no picture %s", path);
}

// A picture of the handset window once its display and call light show what the base has now.
void ShotHandset(const std::string& name) {
    HWND handset = FindWindowA(nullptr, HandsetWindowTitle);
    HandsetView base = ReadHandset();
    std::string line = base.ringing ? base.caller : base.display;
    WaitFor(
        [&] {
            char shown[32] = "";
            GetDlgItemTextA(handset, IDC_HANDSET_LINE, shown, sizeof shown);
            bool lit = GetWindowLongPtrA(GetDlgItem(handset, IDC_HANDSET_CALL_LIGHT), GWLP_USERDATA) != 0;
            return std::string(shown).rfind(line, 0) == 0 && lit == base.callLight;
        },
        3000);
    RedrawWindow(handset, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Shot(handset, name);
}

void IncomingCall() {
    Say("--- alice calls through Skype");
    size_t from = SkypeCommands().size();
    PeerControl("ring 71 alice");
    WaitForCommand("GET CALL 71 PARTNER_HANDLE", from);
    bool ringing = WaitForHandset(
        [](const HandsetView& view) { return view.ringing && view.caller.rfind("alice", 0) == 0; }, 5000);
    Say("handset rings, caller \"%s\"", ReadHandset().caller);
    Expect(ringing, "the handset rings with alice");
    ShotHandset("handset-ringing");
    Sleep(2500); // the ring repeats every two seconds while nobody answers
    Say("the user takes the line (talk key)");
    HandsetTakeLine();
    WaitForCommand("set call 71 status inprogress", from);
    WaitForDisplayText("*alice");
    Expect(WaitForHandset([](const HandsetView& view) { return view.callLight; }, 5000),
           "the call light goes on");
    Say("call light on: the call is in progress");
    ShotHandset("handset-in-call");
    Shot(FindWindowA(nullptr, "Skype Peer"), "peer-window");
    Sleep(1000);
    Say("alice hangs up");
    PeerControl("hangup 71");
    Expect(WaitForHandset([](const HandsetView& view) { return !view.callLight && !view.inCall; }, 5000),
           "the handset is released and the call light goes off");
    Say("handset released, call light off");
}

void OutgoingCall() {
    Say("--- the user dials 02071234567 with the country code 0044 set in the window");
    size_t from = SkypeCommands().size();
    PressKeys("#02071234567#");
    WaitForCommand("CALL 00442071234567", from);
    WaitForDisplayText(">");
    Expect(WaitForHandset([](const HandsetView& view) { return view.callLight; }, 8000),
           "the far end answers");
    Say("the far end answered: call light on");
    Sleep(1000);
    Say("the user presses 5 during the call");
    PressKeys("5");
    WaitForCommand("SET CALL", from);
    Say("the user hangs up (end key)");
    size_t beforeHangUp = SkypeCommands().size();
    HandsetHangUp(0x07);
    WaitForCommand("SET CALL", beforeHangUp);
    Expect(WaitForHandset([](const HandsetView& view) { return !view.callLight; }, 5000),
           "the call light goes off");
}

void Contacts() {
    Say("--- the user browses the contacts: '#', '#', then '2' twice, and calls with '#'");
    size_t from = SkypeCommands().size();
    PressKeys("##");
    WaitForDisplayText("alice");
    PressKeys("2");
    WaitForDisplayText("alice");
    PressKeys("2");
    WaitForDisplayText("bob");
    PressKeys("#");
    WaitForCommand("CALL bob", from);
    Expect(WaitForHandset([](const HandsetView& view) { return view.callLight; }, 8000), "bob answers");
    HandsetHangUp(0x01);
    WaitForHandset([](const HandsetView& view) { return !view.callLight; }, 5000);
    Say("bob's call ended");
}

void SetCountryCode(HWND mainWindow) {
    HWND edit = GetDlgItem(mainWindow, 1059);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("0044"));
}

struct Options {
    bool stay = false; // the program stays after the tour
    bool run = false;  // no tour
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "/stay")
            options.stay = true;
        else if (option == "/run")
            options.run = true;
        else if (option == "/shots" && i + 1 < argc)
            shotFolder = argv[++i];
        else
            return false;
    }
    return true;
}

void Tour(HWND mainWindow, const PROCESS_INFORMATION& program, bool stay) {
    Expect(WaitForCommand("SEARCH FRIENDS", 0, 10000), "the contact list is asked for");
    Shot(mainWindow, "main-window");

    IncomingCall();
    SetCountryCode(mainWindow);
    OutgoingCall();
    Contacts();
    Shot(GetDesktopWindow(), "screen");

    if (stay) {
        Say("--- the program stays; exit it from its window or its tray menu");
        WaitForSingleObject(program.hProcess, INFINITE);
    } else {
        Say("--- asking DectBridge to exit");
        HWND exitWindow = FindWindowA(nullptr, "TigerJetTjInitApp");
        char marker[] = "exit";
        COPYDATASTRUCT data = {0x04C81269, sizeof marker, marker};
        SendMessageA(exitWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        Expect(WaitForSingleObject(program.hProcess, 10000) == WAIT_OBJECT_0, "DectBridge exits");
    }
}

} // namespace

int main(int argc, char** argv) {
    startTick = GetTickCount();
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::printf("usage: Demo.exe [/stay] [/shots FOLDER] | /run\n");
        return 2;
    }
    CreateDirectoryA("c:\\temp", nullptr);
    DeleteFileA(PeerLog);
    SimReset();

    PROCESS_INFORMATION peer = {}, program = {}, handset = {};
    if (!StartProcess(Folder() + "\\SkypePeer.exe", std::string("/window /log ") + PeerLog, peer)) {
        std::printf("cannot start SkypePeer.exe\n");
        return 1;
    }
    WaitFor([] { return FindWindowA(nullptr, PeerControlTitle) != nullptr; }, 10000);
    if (!options.run) {
        PeerControl("contacts alice, bob, carol");
        Say("Skype API peer running, contacts alice, bob, carol");
    }
    if (!StartProcess(Folder() + "\\Handset.exe", "", handset))
        std::printf("cannot start Handset.exe: the tour goes on without the handset window\n");
    if (!StartProcess(Folder() + "\\DectBridge.exe", "", program)) {
        std::printf("cannot start DectBridge.exe\n");
        return 1;
    }
    HWND mainWindow = nullptr;
    WaitFor([&] { return (mainWindow = FindWindowA(nullptr, "TRL-400 1.2")) != nullptr; }, 15000);
    Say("DectBridge started; main window %s", mainWindow ? "shown" : "missing");
    Expect(WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, 15000),
           "the handset's Skype light goes on (attached)");
    Say("Skype attached: the handset's Skype light is on");

    if (options.run) {
        Say("--- DectBridge, the handset window and the Skype peer's window are yours; exit DectBridge from "
            "its "
            "window or its tray menu to end");
        WaitForSingleObject(program.hProcess, INFINITE);
    } else {
        Tour(mainWindow, program, options.stay);
    }
    PeerControl("quit");
    PostMessageA(FindWindowA(nullptr, HandsetWindowTitle), WM_CLOSE, 0, 0);
    for (const PROCESS_INFORMATION& helper : {peer, handset})
        if (helper.hProcess)
            WaitForSingleObject(helper.hProcess, 5000);
    for (const PROCESS_INFORMATION& process : {peer, handset, program})
        for (HANDLE handle : {process.hProcess, process.hThread})
            if (handle)
                CloseHandle(handle);
    Say(failures ? "demonstration finished with %s failed step(s)" : "demonstration finished%s",
        failures ? std::to_string(failures) : "");
    return failures ? 1 : 0;
}
