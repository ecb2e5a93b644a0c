#include "siplink/LogFile.h"

LogFile::~LogFile() {
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

void LogFile::Open(const std::string& path) {
    file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void LogFile::Write(const std::string& tag, const std::string& text) {
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string line = std::to_string(GetTickCount() - startTick) + " " + tag + " ";
    // One event, one line: line breaks inside the text (the agent's data) are shown as "\n".
    for (char c : text)
        line += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    line += "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
