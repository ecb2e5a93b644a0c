#include "sim/control/SimControl.h"

#include "sim/shared/ChipQueue.h"

void SimReset() {
    WithSim([](SimState& state) { ResetSimState(state); });
}

std::vector<SimCall> SimCalls() {
    return WithSim([](SimState& state) {
        uint32_t count = state.callCount < SimCallCapacity ? state.callCount : SimCallCapacity;
        return std::vector<SimCall>(state.calls, state.calls + count);
    });
}

bool SimPost(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = WithSim([](SimState& state) { return reinterpret_cast<HWND>(state.attachedWindow); });
    return window && PostMessageA(window, message, wParam, lParam);
}

bool SimPlug() {
    DWORD product = WithSim([](SimState& state) {
        state.config.plugged = 1;
        return state.config.productId;
    });
    return SimPost(1424, 0, static_cast<LPARAM>(product));
}

bool SimUnplug() {
    DWORD product = WithSim([](SimState& state) {
        state.config.plugged = 0;
        // The base loses its power: a frame it was taking in, a byte it had half and what it was still to
        // send are gone.
        state.firmware.assembly.count = 0;
        state.chip.highNibbleLatched = 0;
        DropBytesForProgram(state.chip);
        return state.config.productId;
    });
    return SimPost(1425, 0, static_cast<LPARAM>(product));
}

bool SimPlugged() {
    return WithSim([](SimState& state) { return state.config.plugged != 0; });
}
