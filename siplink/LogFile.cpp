#include "siplink/LogFile.h"

#include "siplink/LogText.h"

namespace {

HANDLE CreateLog(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

LogFile::~LogFile() {
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

void LogFile::Open(const std::string& logPath) {
    std::lock_guard<std::mutex> hold(lock);
    path = logPath;
    if (!path.empty())
        file = CreateLog(path);
    size = 0;
}

void LogFile::Write(const std::string& tag, const std::string& text) {
    std::lock_guard<std::mutex> hold(lock);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string line = std::to_string(GetTickCount() - startTick) + " " + tag + " " + LogText(text) + "\r\n";
    if (size > 0 && size + line.size() > limit)
        Rotate();
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE &&
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        size += written;
}

void LogFile::Rotate() {
    CloseHandle(file);
    MoveFileExA(path.c_str(), (path + ".1").c_str(), MOVEFILE_REPLACE_EXISTING);
    file = CreateLog(path);
    size = 0;
}
