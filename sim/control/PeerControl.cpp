#include "sim/control/PeerControl.h"

#include <cstdlib>

#include "sim/control/SharedFile.h"

bool PeerControl(const std::string& command) {
    HWND control = FindWindowA(nullptr, PeerControlTitle);
    if (!control)
        return false;
    COPYDATASTRUCT data = {0, static_cast<DWORD>(command.size() + 1), const_cast<char*>(command.c_str())};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               5000, &answer) &&
           answer != 0;
}

std::vector<PeerLine> ReadPeerLog(const std::string& path, const std::string& tag) {
    std::vector<PeerLine> lines;
    std::string log = ReadSharedFile(path);
    size_t start = 0;
    for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::string line = log.substr(start, end - start);
        size_t first = line.find(' ');
        size_t second = line.find(' ', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        PeerLine parsed{static_cast<DWORD>(std::strtoul(line.substr(0, first).c_str(), nullptr, 10)),
                        line.substr(first + 1, second - first - 1), line.substr(second + 1)};
        if (parsed.tag == tag)
            lines.push_back(parsed);
    }
    return lines;
}
