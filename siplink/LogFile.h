#pragma once
// SipLink's log: one line per event, "MS TAG TEXT", MS counted from the start; written line by line so
// that another process can follow it. Nothing is written without a path.
#include <windows.h>

#include <string>

class LogFile {
  public:
    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    void Open(const std::string& path);
    void Write(const std::string& tag, const std::string& text);

  private:
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD startTick = GetTickCount();
};
