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

std::string Quoted(const std::string& word) {
    return "\"" + word + "\"";
}

} // namespace

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

bool AgentProcess::Start(const AgentConfig& config) {
    Stop();
    std::string agents = BinFolder() + "\\sipagents";
    CreateDirectoryA(agents.c_str(), nullptr);
    folder = agents + "\\" + config.name + "-" + std::to_string(config.sipPort);
    std::string unixFolder = UnixPath(folder);
    std::string script = BinFolder() + "\\sipagent.sh";
    if (unixFolder.empty() || !FileExists(script))
        return false;

    std::string line = Quoted(script) + " " + Quoted(unixFolder) + " " + config.name + " " +
                       std::to_string(config.sipPort) + " " + std::to_string(config.rtpFirst) + " " +
                       std::to_string(config.controlPort) + " " + std::to_string(config.answerTimeoutS) +
                       " " + std::to_string(config.outboundPort);
    for (const auto& [name, address] : config.contacts)
        line += " " + Quoted(name) + " " + Quoted(address);

    // The script reads its standard input until it ends: this process holds the only write end.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    if (!CreatePipe(&readEnd, &input, &inherit, 0))
        return false;
    SetHandleInformation(input, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info = {};
    DeleteFileA(Path("stop").c_str());
    DeleteFileA(Path("kill").c_str());
    bool started =
        CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    CloseHandle(readEnd);
    if (info.hProcess)
        CloseHandle(info.hProcess);
    if (info.hThread)
        CloseHandle(info.hThread);
    if (!started) {
        CloseHandle(input);
        input = nullptr;
        return false;
    }
    // The script writes the agent's pid file once the agent runs.
    DWORD since = GetTickCount();
    while (!Running() && GetTickCount() - since < 5000)
        Sleep(20);
    return Running();
}

void AgentProcess::EndWith(const char* flagFile) {
    if (folder.empty())
        return;
    if (Running()) {
        HANDLE flag = CreateFileA(Path(flagFile).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (flag != INVALID_HANDLE_VALUE)
            CloseHandle(flag);
        WaitWhile(Path("pid"), 10000);
    }
    if (input) {
        CloseHandle(input);
        input = nullptr;
    }
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

std::string AgentProcess::Output() const {
    std::string text;
    HANDLE file = CreateFileA(Path("log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(file, buffer, sizeof buffer, &count, nullptr) && count > 0)
        text.append(buffer, count);
    CloseHandle(file);
    return text;
}

std::string AgentProcess::Path(const char* file) const {
    return folder + "\\" + file;
}
