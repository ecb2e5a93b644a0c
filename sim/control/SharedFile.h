#pragma once
// Reads a file that another process keeps open for writing (the program's trace log, the peer's log).
#include <string>

// The whole file as it is now, "" when it cannot be opened.
std::string ReadSharedFile(const std::string& path);
