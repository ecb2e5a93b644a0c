#include "siplink/agent/AgentProcess.h"

namespace {

std::string BinFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WaitWhile(const std::string& path, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (FileExists(path) && GetTickCount() - start < timeoutMs)
        Sleep(20);
}

// The pid of the Unix process that opens files for this program, which the script watches: under Wine
// that is the Wine server, so an agent ends at the latest with the Wine session. "0" when unreadable.
std::string FileOpenerPid() {
    std::string stat;
    HANDLE file = CreateFileA("Z:\\proc\\self\\stat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    char buffer[32] = "";
    DWORD count = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, buffer, sizeof buffer - 1, &count, nullptr);
        CloseHandle(file);
    }
    stat.assign(buffer, count);
    size_t digits = stat.find_first_not_of("0123456789");
    return digits == 0 || digits == std::string::npos ? "0" : stat.substr(0, digits);
}

std::string Quoted(const std::string& word) {
    return "\"" + word + "\"";
}

// The Unix path Wine gives a Windows path; "" when not run by Wine.
std::string UnixPath(const std::string& windowsPath) {
    // Wine's own conversion; its result is allocated on the process heap.
    using Convert = char*(__cdecl*)(const wchar_t*);
    auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        return "";
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH);
    char* unix = convert(wide);
    if (!unix)
        return "";
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

} // namespace

bool AgentProcess::Start(const AgentConfig& config) {
    Stop();
    std::string agents = BinFolder() + "\\sipagents";
    CreateDirectoryA(agents.c_str(), nullptr);
    folder = agents + "\\" + config.name + "-" + std::to_string(config.sipPort);
    // An agent left in this folder by a program that ended without stopping it holds the ports.
    Stop();
    std::string unixFolder = UnixPath(folder);
    std::string script = BinFolder() + "\\sipagent.sh";
    if (unixFolder.empty() || !FileExists(script))
        return false;

    std::string line = Quoted(script) + " " + Quoted(unixFolder) + " " + config.name + " " +
                       std::to_string(config.sipPort) + " " + std::to_string(config.rtpFirst) + " " +
                       std::to_string(config.controlPort) + " " + std::to_string(config.answerTimeoutS) +
                       " " + std::to_string(config.outboundPort) + " " + FileOpenerPid() + " " +
                       Quoted(config.displayName.empty() ? "-" : config.displayName);
    for (const auto& [name, address] : config.contacts)
        line += " " + Quoted(name) + " " + Quoted(address);

    DeleteFileA(Path("stop").c_str());
    DeleteFileA(Path("kill").c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    // Wine gives no handle of a Unix process; the script's pid file tells when the agent runs and ends.
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    // The script writes the agent's pid file once the agent runs.
    DWORD since = GetTickCount();
    while (!Running() && GetTickCount() - since < 5000)
        Sleep(20);
    return Running();
}

void AgentProcess::Flag(const char* file) {
    if (!Running())
        return;
    HANDLE flag = CreateFileA(Path(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (flag != INVALID_HANDLE_VALUE)
        CloseHandle(flag);
}

void AgentProcess::AskToStop() {
    Flag("stop");
}

void AgentProcess::EndWith(const char* flagFile) {
    if (folder.empty())
        return;
    Flag(flagFile);
    WaitWhile(Path("pid"), 10000);
}

void AgentProcess::Stop() {
    EndWith("stop");
}

void AgentProcess::Kill() {
    EndWith("kill");
}

bool AgentProcess::Running() const {
    return !folder.empty() && FileExists(Path("pid"));
}

std::string AgentProcess::Path(const char* file) const {
    return folder + "\\" + file;
}

AgentPair LoopbackAgents(int base, int farAnswerTimeoutS) {
    AgentPair pair;
    pair.farNumber = "42";
    pair.nearAddress = "sip:alice@127.0.0.1:" + std::to_string(base + 60);
    pair.farAddress = "sip:" + pair.farNumber + "@127.0.0.1:" + std::to_string(base + 80);

    pair.nearEnd.name = "alice";
    pair.nearEnd.sipPort = base + 60;
    pair.nearEnd.rtpFirst = base + 100;
    pair.nearEnd.controlPort = base + 144;
    pair.nearEnd.outboundPort = base + 80;
    pair.nearEnd.contacts = {{"bob", pair.farAddress}};

    pair.farEnd.name = pair.farNumber;
    pair.farEnd.sipPort = base + 80;
    pair.farEnd.rtpFirst = base + 120;
    pair.farEnd.controlPort = base + 146;
    pair.farEnd.answerTimeoutS = farAnswerTimeoutS;
    pair.farEnd.contacts = {{"alice", pair.nearAddress}};
    return pair;
}
