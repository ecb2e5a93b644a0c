// The simulated TjIpSys.dll: the one entry TjIpSysCall, answering from the shared simulation state.
#include <windows.h>

#include <cstring>

// The operation codes are the library's interface, so the program's own list serves here too.
#include "chip/PhoneLibrary.h"
#include "sim/phone/Chip.h"
#include "sim/shared/SimMapping.h"

namespace {


constexpr const char* FullDeviceName = "USB Internet Phone By";

template <class T> void Store(UINT_PTR address, T value) {
    if (address)
        *reinterpret_cast<T*>(address) = value;
}

int Answer(SimState& state, int op, UINT_PTR a, UINT_PTR b, char* text, size_t textSize) {
    SimConfig& config = state.config;
    switch (op) {
    case OpOpenDevice:
        Store<DWORD>(b, config.plugged ? config.productId : 0);
        state.deviceOpen = config.plugged ? 1 : 0;
        return config.plugged ? 1 : 0;
    case OpCloseDevice:
        state.deviceOpen = 0;
        return 1;
    case OpAttachWindow:
        state.attachedWindow = static_cast<uint32_t>(a);
        return config.attachAnswer == -1 ? (config.plugged ? 0 : 1) : config.attachAnswer;
    case OpDetachWindow:
        state.attachedWindow = 0;
        return 1;
    case OpDeviceChange:
    case OpMixerChange:
        return 1;
    case OpGetSerialNumber:
        if (b) {
            size_t size = a < sizeof config.serial ? a : sizeof config.serial;
            std::memcpy(reinterpret_cast<void*>(b), config.serial, size);
        }
        return 1;
    case OpSetDeviceName: {
        const char* name = reinterpret_cast<const char*>(b);
        if (name)
            lstrcpynA(text, name, static_cast<int>(textSize));
        return name && std::strcmp(name, FullDeviceName) == 0 ? config.setNameAnswer : config.setShortNameAnswer;
    }
    case OpOpenMixer:
        if (b)
            lstrcpynA(text, reinterpret_cast<const char*>(b), static_cast<int>(textSize));
        state.mixerOpen = config.mixerAnswer ? 1 : 0;
        return config.mixerAnswer;
    case OpCloseMixer:
        state.mixerOpen = 0;
        return 1;
    case OpGetMicVolume:
        Store<DWORD>(b, config.micLevel);
        return 1;
    case OpSetMicVolume:
        config.micLevel = static_cast<uint32_t>(b);
        return 1;
    case OpGetSpeakerVolume:
        Store<DWORD>(b, config.speakerLevel);
        return 1;
    case OpSetSpeakerVolume:
        config.speakerLevel = static_cast<uint32_t>(b);
        return 1;
    case OpGetMicMute:
        Store<int>(b, config.micMute);
        return 1;
    case OpSetMicMute:
        config.micMute = static_cast<int32_t>(a);
        return 1;
    case OpGetSpeakerMute:
        Store<int>(b, config.speakerMute);
        return 1;
    case OpSetSpeakerMute:
        config.speakerMute = static_cast<int32_t>(a);
        return 1;
    default:
        return 0;
    }
}

} // namespace

extern "C" __declspec(dllexport) int WINAPI TjIpSysCall(int op, UINT_PTR a, UINT_PTR b) {
    SimState* state = MapSimState();
    if (!state)
        return 0;
    SimLock lock;
    if (op == OpRegisterTransfer) {
        ++state->registerTransfers;
        return ChipTransfer(*state, reinterpret_cast<void*>(b));
    }
    char text[64] = "";
    int result = Answer(*state, op, a, b, text, sizeof text);
    if (state->callCount < SimCallCapacity) {
        SimCall& call = state->calls[state->callCount];
        call.timeMs = GetTickCount();
        call.op = op;
        call.a = static_cast<uint32_t>(a);
        call.b = static_cast<uint32_t>(b);
        call.result = result;
        std::memcpy(call.text, text, sizeof call.text);
    }
    ++state->callCount;
    return result;
}
