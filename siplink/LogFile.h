#pragma once
// SipLink's log: one line per event, "MS TAG TEXT", MS counted from the start; written line by line so
// that another process can follow it, from any thread. Nothing is written without a path. A line shows at
// most LogTextKept bytes of its text; when the file would pass its limit it becomes PATH.1 (replacing the
// one before) and a new file starts, so the log never takes more than twice the limit.
#include <windows.h>

#include <mutex>
#include <string>

class LogFile {
  public:
    static constexpr DWORD DefaultLimit = 1 << 20;

    explicit LogFile(DWORD limit = DefaultLimit) : limit(limit) {}
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    void Open(const std::string& path);
    void Write(const std::string& tag, const std::string& text);

  private:
    void Rotate();

    const DWORD limit;
    std::mutex lock; // the file, its path and size
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string path;
    DWORD size = 0;
    DWORD startTick = GetTickCount();
};
