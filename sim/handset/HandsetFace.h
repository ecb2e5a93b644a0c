#pragma once
// What the handset shows, and what its keys do: plain logic between the simulation's state and the window.
#include <string>

#include "sim/control/HandsetControl.h"

constexpr int HandsetDisplayWidth = 12;

struct HandsetFace {
    std::string status; // "RINGING", "IN CALL", "NO BASE" or ""
    std::string line;   // HandsetDisplayWidth characters: the caller while it rings, else the display
    bool ringing = false;
    bool skypeLight = false;
    bool callLight = false;
    bool plugged = false;
    bool operator==(const HandsetFace& other) const;
    bool operator!=(const HandsetFace& other) const { return !(*this == other); }
};

HandsetFace FaceOf(const HandsetView& view, bool plugged);

enum class HandsetAction { None, Key, Talk, End };

// A keypad character ('0'-'9', '*', '#') is a key; anything else does nothing.
HandsetAction ActionOfCharacter(char character);
// Sends what the handset sends for the action (key: the character); answers whether it was queued.
bool PerformHandsetAction(HandsetAction action, char key);
