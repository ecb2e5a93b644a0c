#pragma once
// Drives the Skype API peer program from another process: one text command per call, sent to its control
// window, and its log read back (sim/skype/README.md lists the commands and the log's tags).
#include <windows.h>

#include <string>
#include <vector>

constexpr const char* PeerControlTitle = "Skype Peer Control";

// Answers whether the peer understood the command (false also when no peer runs).
bool PeerControl(const std::string& command);

// One line of the peer's log: "<ms> <TAG> <text>".
struct PeerLine {
    DWORD ms;
    std::string tag;
    std::string text;
};

// The log's lines with this tag, in order.
std::vector<PeerLine> ReadPeerLog(const std::string& path, const std::string& tag);
