#include "tests/common/TestSupport.h"

#include "sim/control/SharedFile.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace test {

std::string BinDir() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

int TestPort(int usual) {
    if (usual < FirstTestPort || usual >= FirstTestPort + TestPortCount) {
        // It could be another sandbox's port: the clash would show only as a rare failure elsewhere.
        std::fprintf(stderr, "test port %d lies outside %d-%d\n", usual, FirstTestPort,
                     FirstTestPort + TestPortCount - 1);
        std::fflush(stderr);
        ExitProcess(3);
    }
    char shift[16] = "";
    DWORD length = GetEnvironmentVariableA("DECTBRIDGE_TEST_PORT_SHIFT", shift, sizeof shift);
    return length > 0 && length < sizeof shift ? usual + std::atoi(shift) : usual;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        // Keep this thread's own windows answering while it waits.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

HWND WaitForWindow(const char* title, DWORD timeoutMs, const char* className) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowA(className, title)) != nullptr; }, timeoutMs);
    return found;
}

std::string ReadWholeFile(const std::string& path) {
    return ReadSharedFile(path);
}

std::vector<std::string> FindFiles(const std::string& pattern) {
    std::vector<std::string> names;
    std::string folder = pattern.substr(0, pattern.find_last_of('\\') + 1);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(folder + data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

void DeleteFiles(const std::string& pattern) {
    for (const std::string& name : FindFiles(pattern))
        DeleteFileA(name.c_str());
}

Process::~Process() {
    Kill();
    if (info.hProcess)
        CloseHandle(info.hProcess);
    if (info.hThread)
        CloseHandle(info.hThread);
}

bool Process::Start(const std::string& exePath, const std::string& arguments) {
    std::string commandLine = "\"" + exePath + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string folder = exePath.substr(0, exePath.find_last_of('\\'));
    return CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &info) != 0;
}

DWORD Process::Wait(DWORD timeoutMs) {
    if (!info.hProcess)
        return 0;
    if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
}

bool Process::Running() const {
    return info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
}

void Process::Kill() {
    if (Running()) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 5000);
    }
}

namespace {
struct BoxSearch {
    DWORD pid;
    HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == search->pid && std::string(className) == "#32770" && IsWindowVisible(window) &&
        GetDlgItem(window, 0xFFFF) != nullptr) {
        search->box = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

bool AnswerMessageBox(DWORD pid, int buttonId, DWORD timeoutMs, std::string* text) {
    BoxSearch search = {pid, nullptr};
    if (!WaitUntil(
            [&] {
                search.box = nullptr;
                EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
                return search.box != nullptr;
            },
            timeoutMs))
        return false;
    if (text) {
        char buffer[1024] = "";
        GetDlgItemTextA(search.box, 0xFFFF, buffer, sizeof buffer);
        *text = buffer;
    }
    PostMessageA(search.box, WM_COMMAND, buttonId, 0);
    return true;
}

} // namespace test
