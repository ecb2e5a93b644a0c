#include "siplink/account/AgentLauncher.h"

#include "siplink/account/UnixPath.h"

namespace {

// Debian's baresip, which the script runs, keeps its modules here.
constexpr const char* DebianModules = "/usr/lib/baresip/modules";
constexpr DWORD ForcedEndMs = 5000;

std::string ProgramFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

bool FileExists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool EndsWith(const std::string& text, const char* end) {
    std::string tail = end;
    return text.size() >= tail.size() && _stricmp(text.c_str() + text.size() - tail.size(), end) == 0;
}

std::string Quoted(const std::string& word) {
    return "\"" + word + "\"";
}

} // namespace

std::string AgentLauncher::Find(const std::string& configured) {
    if (!configured.empty())
        return FileExists(configured) ? configured : "";
    for (const char* name : {"\\baresip.exe", "\\baresip.sh"}) {
        std::string path = ProgramFolder() + name;
        if (FileExists(path))
            return path;
    }
    return "";
}

std::string AgentLauncher::ModulePath(const std::string& program) {
    if (EndsWith(program, ".sh"))
        return DebianModules;
    return program.substr(0, program.find_last_of('\\'));
}

std::string AgentLauncher::ModuleSuffix(const std::string& program) {
    return EndsWith(program, ".sh") ? ".so" : ".dll";
}

bool AgentLauncher::Start(const std::string& path, const std::string& configFolder) {
    Stop(0);
    program = path;
    folder = configFolder;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (IsScript()) {
        std::string unixFolder = UnixPath(folder);
        if (unixFolder.empty())
            return false;
        // An agent left by a SipLink that ended moments ago would live on, kept by our beats.
        if (Running()) {
            Touch("stop");
            WaitForEnd(ForcedEndMs);
        }
        DeleteFileA(Path("stop").c_str());
        DeleteFileA(Path("kill").c_str());
        Beat();
        std::string line = Quoted(program) + " " + Quoted(unixFolder);
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return false;
        // Wine gives no handle of a Unix process: the script's pid file says when the agent runs.
        DWORD since = GetTickCount();
        while (!Running() && GetTickCount() - since < ForcedEndMs)
            Sleep(20);
        return Running();
    }
    std::string line = Quoted(program) + " -f " + Quoted(folder);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                        nullptr, folder.c_str(), &startup, &info))
        return false;
    // The job ends the agent when SipLink's handle of it closes, which happens however SipLink ends.
    job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job)
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    if (job)
        AssignProcessToJobObject(job, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process = info.hProcess;
    return true;
}

bool AgentLauncher::Running() const {
    if (process)
        return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    return IsScript() && FileExists(Path("pid"));
}

void AgentLauncher::Beat() {
    if (IsScript())
        Touch("alive");
}

void AgentLauncher::Stop(DWORD graceMs) {
    if (folder.empty())
        return;
    if (!WaitForEnd(graceMs)) {
        if (process)
            TerminateProcess(process, 1);
        else if (Running())
            Touch("stop");
        WaitForEnd(ForcedEndMs);
    }
    if (process)
        CloseHandle(process);
    if (job)
        CloseHandle(job);
    process = job = nullptr;
    folder.clear();
}

bool AgentLauncher::IsScript() const {
    return EndsWith(program, ".sh");
}

std::string AgentLauncher::Path(const char* file) const {
    return folder + "\\" + file;
}

void AgentLauncher::Touch(const char* file) const {
    HANDLE handle = CreateFileA(Path(file).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    SetFileTime(handle, nullptr, nullptr, &now);
    CloseHandle(handle);
}

bool AgentLauncher::WaitForEnd(DWORD timeoutMs) const {
    DWORD since = GetTickCount();
    while (Running()) {
        if (GetTickCount() - since >= timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}
