#include "tools/sip/agent/ScriptProcess.h"

#include "tools/sip/agent/UnixPath.h"

namespace {

constexpr DWORD StartMs = 5000;
constexpr DWORD EndMs = 10000;

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The pid of the Unix process that opens files for this program, which the script watches: under Wine
// that is the Wine server, so a script's run ends at the latest with the Wine session. "0" when unreadable.
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

} // namespace

std::string BinFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

bool ScriptProcess::Start(const std::string& script, const std::string& name,
                          const std::vector<std::string>& arguments) {
    Stop();
    folder = BinFolder();
    // Each level of the folder, made as needed.
    size_t at = 0;
    while ((at = name.find('\\', at + 1)) != std::string::npos)
        CreateDirectoryA((folder + "\\" + name.substr(0, at)).c_str(), nullptr);
    folder += "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    // A run left in this folder by a program that ended without stopping it holds the ports.
    Stop();
    std::string unixFolder = UnixPath(folder);
    std::string scriptPath = BinFolder() + "\\" + script;
    if (unixFolder.empty() || !FileExists(scriptPath))
        return false;

    std::string line = Quoted(scriptPath) + " " + Quoted(unixFolder) + " " + FileOpenerPid();
    for (const std::string& argument : arguments)
        line += " " + Quoted(argument);
    for (const char* file : {"stop", "kill", "rc"})
        DeleteFileA(Path(file).c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    // Wine gives no handle of a Unix process; the script's pid file tells when its run is there.
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    DWORD since = GetTickCount();
    while (!Running() && !FileExists(Path("rc")) && GetTickCount() - since < StartMs)
        Sleep(20);
    return Running() || FileExists(Path("rc"));
}

void ScriptProcess::Flag(const char* file) {
    if (!Running())
        return;
    HANDLE flag = CreateFileA(Path(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (flag != INVALID_HANDLE_VALUE)
        CloseHandle(flag);
}

void ScriptProcess::EndWith(const char* flagFile) {
    if (folder.empty())
        return;
    Flag(flagFile);
    WaitForEnd(EndMs);
}

bool ScriptProcess::Running() const {
    return !folder.empty() && FileExists(Path("pid"));
}

bool ScriptProcess::WaitForEnd(DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    while (Running() && GetTickCount() - start < timeoutMs)
        Sleep(20);
    return !Running();
}

std::string ScriptProcess::Path(const char* file) const {
    return folder + "\\" + file;
}
