#pragma once
// The handset of the simulated base, driven from another process: its keys and hook queue the frames a
// real base sends to the program; its display, ringer and lights show what the program sent.
#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The handset and the base's view of the program's frames, read in one piece under the lock.
struct HandsetView {
    std::string display; // 12 characters
    bool ringing = false;
    std::string caller;
    bool inCall = false;
    bool skypeLight = false;
    bool callLight = false;
    int lastReleaseAck = -1; // payload of the last CmdReleaseAck
    bool initialised = false;
    std::array<uint32_t, 256> framesByCommand = {};
    uint32_t badFrames = 0;
    uint32_t strayBytes = 0;
    uint32_t requestViolations = 0;           // malformed register requests the chip received
    std::vector<std::vector<uint8_t>> frames; // good frames from the program, in order
    uint32_t pendingBytes = 0;                // bytes queued for the program and not yet presented
};

HandsetView ReadHandset();
// Only what the handset shows (display, ringing and caller, in call, both lights), without the firmware's
// logs: it holds the simulation's lock briefly enough to be polled while the program runs.
HandsetView ReadHandsetShown();

// Each action answers whether the whole frame was queued for the program.
// A key: CmdKey with 0x00, 0x01, the key code.
bool HandsetPressKey(uint8_t key);
// A key notice: CmdKeyNotice with 0x00, mark (1 marks a key), the key code.
bool HandsetKeyNotice(uint8_t mark, uint8_t key);
// Taking the line: CmdConnect; the handset is in the call.
bool HandsetTakeLine();
// Releasing the line: CmdRelease with a byte the program echoes in its CmdReleaseAck.
bool HandsetHangUp(uint8_t echo);
// Any frame, for commands the program does not know.
bool HandsetSendFrame(uint8_t command, const std::vector<uint8_t>& payload);
// Bytes as they are, for broken frames.
bool HandsetSendRaw(const std::vector<uint8_t>& bytes);

// Polls the handset every 5 ms until condition holds or timeoutMs pass; answers whether it held.
bool WaitForHandset(const std::function<bool(const HandsetView&)>& condition, DWORD timeoutMs);
bool WaitForDisplay(const std::string& text, DWORD timeoutMs);
// Until the base has received `count` good frames of this command in all.
bool WaitForFrames(uint8_t command, uint32_t count, DWORD timeoutMs);
// Until the base has presented every queued byte to the program.
bool WaitUntilBaseSent(DWORD timeoutMs);
