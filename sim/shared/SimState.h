#pragma once
// The simulated phone library's whole state, kept in named shared memory so that another process (a test,
// the demonstration) can configure the library before the program loads it, drive the base and its
// handset, and read back what the program did. Every access holds SimLock.
#include <windows.h>
#include <cstdint>

#include "sim/shared/ChipState.h"
#include "sim/shared/FirmwareState.h"

constexpr const char* SimMappingName = "DectBridgeSimState";
constexpr uint32_t SimMagic = 0x44534D31; // "DSM1": the state was initialised

// What the library answers; tests set these before they start the program.
struct SimConfig {
    uint32_t productId;       // reported by OpenDevice while the base is plugged in
    int32_t plugged;          // 1: a base is attached
    int32_t attachAnswer;     // AttachWindow's answer; -1: 0 when plugged in, else 1
    int32_t mixerAnswer;      // OpenMixer's answer
    int32_t setNameAnswer;    // SetDeviceName's answer for "USB Internet Phone By"
    int32_t setShortNameAnswer; // SetDeviceName's answer for any other name
    char serial[32];          // what GetSerialNumber writes (may be empty)
    uint32_t speakerLevel;    // 0..65535
    uint32_t micLevel;
    int32_t speakerMute;
    int32_t micMute;
};

// One library call other than RegisterTransfer, in the order received.
struct SimCall {
    uint32_t timeMs; // GetTickCount at the call
    int32_t op;
    uint32_t a;
    uint32_t b;
    int32_t result;
    char text[64]; // the text argument where there is one (SetDeviceName, OpenMixer's name)
};

constexpr int SimCallCapacity = 512;

struct SimState {
    uint32_t magic;
    SimConfig config;
    uint32_t attachedWindow; // the window given to AttachWindow, 0 after DetachWindow
    uint32_t deviceOpen;     // between OpenDevice and CloseDevice
    uint32_t mixerOpen;
    uint32_t callCount;      // calls recorded so far (the log keeps the first SimCallCapacity)
    SimCall calls[SimCallCapacity];
    uint32_t registerTransfers; // RegisterTransfer calls, counted apart from the log
    ChipState chip;
    FirmwareState firmware;
};
