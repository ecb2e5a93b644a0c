#include "bench/support/LinuxCpu.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

// A /proc file: its size shows as 0, so it is read until the end.
std::string ReadProcFile(const std::string& path) {
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return text;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, count);
    std::fclose(file);
    return text;
}

std::string ProcPath(int pid, const std::string& rest) {
    return "Z:\\proc\\" + std::to_string(pid) + "\\" + rest;
}

// The numeric entries of a /proc folder.
std::vector<int> NumericEntries(const std::string& folder) {
    std::vector<int> ids;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return ids;
    do {
        char* end = nullptr;
        long id = std::strtol(found.cFileName, &end, 10);
        if (end != found.cFileName && *end == '\0')
            ids.push_back(static_cast<int>(id));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return ids;
}

bool InThisPrefix(int pid) {
    char prefix[MAX_PATH] = "";
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    // The environment is a run of NUL-terminated entries.
    std::string wanted = std::string("WINEPREFIX=") + prefix;
    std::string environment = ReadProcFile(ProcPath(pid, "environ"));
    for (size_t start = 0; start < environment.size();) {
        size_t end = environment.find('\0', start);
        if (end == std::string::npos)
            end = environment.size();
        if (environment.compare(start, end - start, wanted) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::vector<int> FindPrefixProcesses(const std::vector<std::string>& names) {
    std::vector<int> found;
    for (int pid : NumericEntries("Z:\\proc")) {
        std::string name = ReadProcFile(ProcPath(pid, "comm"));
        if (!name.empty() && name.back() == '\n')
            name.pop_back();
        bool named = std::any_of(names.begin(), names.end(),
                                 [&](const std::string& wanted) { return wanted.substr(0, 15) == name; });
        if (named && InThisPrefix(pid))
            found.push_back(pid);
    }
    return found;
}

int FindWineServer() {
    std::vector<int> servers = FindPrefixProcesses({"wineserver", "wineserver64"});
    return servers.empty() ? 0 : servers.front();
}

// The first field of a thread's schedstat is its time on a CPU in ns. Threads that ended take their time
// with them, so a measure holds while the thread set stays as it is.
double ProcessCpuMs(int pid) {
    std::vector<int> threads = NumericEntries(ProcPath(pid, "task"));
    if (threads.empty())
        return -1;
    double ms = 0;
    for (int tid : threads) {
        std::string stat = ReadProcFile(ProcPath(pid, "task\\" + std::to_string(tid) + "\\schedstat"));
        ms += std::strtod(stat.c_str(), nullptr) / 1e6;
    }
    return ms;
}

} // namespace bench
