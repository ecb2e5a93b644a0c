#include "tests/common/Program.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace test {

Program::~Program() {
    if (process.Running())
        Exit(5000);
    process.Kill();
}

bool Program::Launch(const std::string& exePath) {
    CreateDirectoryA("c:\\temp", nullptr);
    HKEY settings = nullptr;
    if (!keepCallList && RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", 0, KEY_SET_VALUE,
                                       &settings) == ERROR_SUCCESS) {
        // Without its count the stored entries are not read.
        RegDeleteValueA(settings, "Calls");
        RegCloseKey(settings);
    }
    return process.Start(exePath);
}

bool Program::Start(const std::string& exePath, DWORD timeoutMs) {
    if (!Launch(exePath))
        return false;
    // The main window of this very process (another copy may have the same title), once initialisation
    // has shown it.
    WaitUntil(
        [&] {
            HWND candidate = nullptr;
            while ((candidate = FindWindowExA(nullptr, candidate, nullptr, MainWindowTitle)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(candidate, &owner);
                if (owner == process.Id() && IsWindowVisible(candidate)) {
                    mainWindow = candidate;
                    return true;
                }
            }
            return !process.Running();
        },
        timeoutMs);
    return mainWindow != nullptr;
}

LRESULT Program::SendExitRequest(ULONG_PTR dwData) const {
    HWND target = nullptr;
    while ((target = FindWindowExA(nullptr, target, nullptr, ExitRequestTitle)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(target, &owner);
        if (owner == process.Id())
            break;
    }
    if (!target)
        return 0;
    char marker[] = "exit";
    COPYDATASTRUCT data = {dwData, sizeof marker, marker};
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                        &answer);
    return static_cast<LRESULT>(answer);
}

bool Program::Exit(DWORD timeoutMs) {
    SendExitRequest(ExitRequestMarker);
    return process.Wait(timeoutMs) != STILL_ACTIVE;
}

std::string Program::TraceFile() const {
    char pattern[64];
    std::snprintf(pattern, sizeof pattern, "c:\\temp\\Telvane.log_*_%lX.txt", process.Id());
    // Wine reuses process ids, so older runs may have left files with this id: the name's date and time
    // make the newest sort last.
    auto files = FindFiles(pattern);
    std::sort(files.begin(), files.end());
    return files.empty() ? "" : files.back();
}

std::vector<LoggedFrame> Program::LoggedFrames() const {
    // "hh:mm:ss:mmm [0x........]\t[MAIN -> DECT] : 24 24 LL CC ..."
    std::vector<LoggedFrame> frames;
    std::istringstream log(ReadWholeFile(TraceFile()));
    int days = 0, last = 0;
    for (std::string line; std::getline(log, line);) {
        int hours, minutes, seconds, ms;
        unsigned length, command;
        char way[5] = "";
        if (std::sscanf(line.c_str(), "%d:%d:%d:%d [0x%*x]\t[%4s -> %*4s] : 24 24 %x %x", &hours, &minutes,
                        &seconds, &ms, way, &length, &command) != 7)
            continue;
        int at = ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms + days;
        if (at < last) { // past midnight
            days += 24 * 3600 * 1000;
            at += 24 * 3600 * 1000;
        }
        last = at;
        frames.push_back({at, std::string(way) == "MAIN", static_cast<uint8_t>(command)});
    }
    return frames;
}

std::vector<int> Program::FrameTimes(uint8_t command, bool toBase) const {
    std::vector<int> times;
    for (const LoggedFrame& frame : LoggedFrames())
        if (frame.command == command && frame.toBase == toBase)
            times.push_back(frame.ms);
    return times;
}

} // namespace test
