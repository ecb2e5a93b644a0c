#include "siplink/account/OwnAgent.h"

#include <shlobj.h>

namespace {

// How long the agent is given to end by itself after "quit"; the script then ends it (killed 2 s later).
constexpr DWORD QuitGraceMs = 1500;

// A port on loopback nobody listens on now, of the given socket type; 0 when none could be had.
int FreePort(int type) {
    SOCKET probe = socket(AF_INET, type, 0);
    if (probe == INVALID_SOCKET)
        return 0;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    int port = 0;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    closesocket(probe);
    return port;
}

bool WriteFileText(const std::string& path, const std::string& text, bool replace) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, replace ? CREATE_ALWAYS : CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL done = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return done && written == text.size();
}

} // namespace

std::string OwnAgentFolder() {
    char appData[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData)))
        return "";
    std::string folder = std::string(appData) + "\\DectBridge";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\SipLink";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void OwnAgent::Begin(uint32_t nowMs) {
    settings = LoadSettings();
    folder = OwnAgentFolder();
    std::string problem = settings.account.Problem();
    wanted = false;
    if (!problem.empty()) {
        registration.NoAccount(problem);
    } else if (AgentLauncher::Find(settings.agentPath).empty()) {
        registration.NoAgent();
    } else {
        wanted = true;
        registration.AgentDown();
        StartAgent(nowMs);
    }
    StateChanged();
}

bool OwnAgent::StartAgent(uint32_t nowMs) {
    std::string program = AgentLauncher::Find(settings.agentPath);
    AgentSetup setup;
    setup.controlPort = FreePort(SOCK_STREAM);
    setup.sipPort = FreePort(SOCK_DGRAM);
    setup.modulePath = AgentLauncher::ModulePath(program);
    setup.moduleSuffix = AgentLauncher::ModuleSuffix(program);
    // The system's default sound: winwave's first device on Windows, ALSA's default with Debian's agent.
    setup.defaultDevice = setup.moduleSuffix == ".so" ? "alsa,default" : "winwave,";
    startedAt = nowMs;
    ended = false;
    // The account itself goes over the control connection: the agent's files never hold the password.
    bool written = !folder.empty() &&
                   WriteFileText(folder + "\\config", AgentConfigText(settings.account, setup), true) &&
                   WriteFileText(folder + "\\accounts", "", true);
    // The contacts are the user's to edit; an empty list is made once.
    WriteFileText(folder + "\\contacts", "", false);
    if (!written || program.empty() || !launcher.Start(program, folder)) {
        log("AGENT-FAILED", program + " in " + folder);
        ended = true;
        restartAt = nowMs + pause.AfterEnd(startedAt, nowMs);
        return false;
    }
    controlPort = setup.controlPort;
    log("AGENT-START", program + " control 127.0.0.1:" + std::to_string(controlPort));
    return true;
}

void OwnAgent::Tick(uint32_t nowMs, bool connected) {
    if (!wanted)
        return;
    launcher.Beat();
    if (!ended && !launcher.Running()) {
        ended = true;
        uint32_t wait = pause.AfterEnd(startedAt, nowMs);
        restartAt = nowMs + wait;
        log("AGENT-ENDED", "starting it again in " + std::to_string(wait) + " ms");
        registration.AgentDown();
        StateChanged();
    }
    if (ended && int32_t(nowMs - restartAt) >= 0)
        StartAgent(nowMs);
    if (connected && registration.RetryDue(nowMs))
        SendAccount(nowMs);
}

void OwnAgent::Connected(uint32_t nowMs) {
    if (wanted)
        SendAccount(nowMs);
}

void OwnAgent::SendAccount(uint32_t nowMs) {
    // A connection to an agent that lived on may find the account there: it goes anew.
    command("uadel", settings.account.Aor());
    command("uanew", AccountLine(settings.account));
    registration.Requested(nowMs);
    StateChanged();
}

void OwnAgent::RegisterEvent(const std::string& type, const std::string& param, uint32_t nowMs) {
    log("REGISTER-EVENT", type + " " + param);
    registration.OnEvent(type, param, nowMs);
    StateChanged();
}

void OwnAgent::Reload(uint32_t nowMs, bool connected) {
    StoredSettings before = settings;
    settings = LoadSettings();
    const Account &was = before.account, &now = settings.account;
    bool soundChanged = was.speakDevice != now.speakDevice || was.ringDevice != now.ringDevice ||
                        was.extraConfig != now.extraConfig || before.agentPath != settings.agentPath;
    if (wanted && connected)
        command("uadel", was.Aor());
    std::string problem = now.Problem();
    if (!problem.empty() || AgentLauncher::Find(settings.agentPath).empty() || soundChanged || !wanted) {
        // The agent is started afresh on the new configuration, or stopped when it cannot run.
        if (connected)
            command("quit", "");
        launcher.Stop(QuitGraceMs);
        Begin(nowMs);
        return;
    }
    if (connected)
        SendAccount(nowMs);
}

void OwnAgent::End() {
    launcher.Stop(QuitGraceMs);
    wanted = false;
}

std::string OwnAgent::Describe() const {
    std::string who = settings.account.address.empty() ? "" : settings.account.address + ": ";
    return who + registration.Describe();
}

void OwnAgent::StateChanged() {
    std::string now = Describe();
    if (now != told) {
        told = now;
        log("REGISTRATION", now);
        SaveStatus(now);
        changed();
    }
}
