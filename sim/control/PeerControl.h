#pragma once
// Drives the Skype API peer program from another process: one text command per call, sent to its control
// window (sim/skype/README.md lists the commands).
#include <string>

constexpr const char* PeerControlTitle = "Skype Peer Control";

// Answers whether the peer understood the command (false also when no peer runs).
bool PeerControl(const std::string& command);
