#include "sim/control/HandsetControl.h"

#include <algorithm>

#include "sim/control/ChipControl.h"
#include "sim/control/SimControl.h"
#include "sim/shared/ChipQueue.h"
#include "sim/shared/Frames.h"

namespace {

constexpr DWORD PollMs = 5;

bool Queue(const std::vector<uint8_t>& bytes, const std::function<void(FirmwareState&)>& handsetChange = {}) {
    return WithSim([&](SimState& state) {
        if (handsetChange)
            handsetChange(state.firmware);
        int count = static_cast<int>(bytes.size());
        return QueueBytesForProgram(state.chip, bytes.data(), count) == count;
    });
}

// The parts of the view a person sees on the handset; the simulation's lock is held.
void ReadShown(const FirmwareState& firmware, HandsetView& view) {
    view.display.assign(firmware.display, strnlen(firmware.display, sizeof firmware.display));
    view.ringing = firmware.ringing != 0;
    view.caller.assign(firmware.caller, strnlen(firmware.caller, sizeof firmware.caller));
    view.inCall = firmware.inCall != 0;
    view.skypeLight = firmware.skypeLight != 0;
    view.callLight = firmware.callLight != 0;
}

} // namespace

HandsetView ReadHandset() {
    return WithSim([](SimState& state) {
        const FirmwareState& firmware = state.firmware;
        HandsetView view;
        ReadShown(firmware, view);
        view.lastReleaseAck = firmware.lastReleaseAck;
        view.initialised = firmware.initialised != 0;
        std::copy(std::begin(firmware.framesByCommand), std::end(firmware.framesByCommand),
                  view.framesByCommand.begin());
        view.badFrames = firmware.badFrames;
        view.strayBytes = firmware.strayBytes;
        view.requestViolations = state.chip.requestViolations;
        uint32_t logged = std::min<uint32_t>(firmware.frameCount, FrameLogCapacity);
        for (uint32_t i = 0; i < logged; ++i) {
            const LoggedFrame& frame = firmware.frames[i];
            int length = std::min<int>(frame.length, FrameBytesMax);
            view.frames.emplace_back(frame.bytes, frame.bytes + length);
        }
        view.pendingBytes = static_cast<uint32_t>(BytesWaitingForProgram(state.chip));
        return view;
    });
}

HandsetView ReadHandsetShown() {
    return WithSim([](SimState& state) {
        HandsetView view;
        ReadShown(state.firmware, view);
        return view;
    });
}

bool HandsetPressKey(uint8_t key) {
    return HandsetSendFrame(sim::Key, {0x00, 0x01, key});
}

bool HandsetKeyNotice(uint8_t mark, uint8_t key) {
    return HandsetSendFrame(sim::KeyNotice, {0x00, mark, key});
}

bool HandsetTakeLine() {
    return Queue(sim::BuildFrame(sim::Connect, {0x01, 0x81}), [](FirmwareState& firmware) {
        firmware.inCall = 1;
        firmware.ringing = 0;
    });
}

bool HandsetHangUp(uint8_t echo) {
    return Queue(sim::BuildFrame(sim::Release, {echo}), [](FirmwareState& firmware) {
        firmware.inCall = 0;
        firmware.ringing = 0;
    });
}

bool HandsetSendFrame(uint8_t command, const std::vector<uint8_t>& payload) {
    return Queue(sim::BuildFrame(command, payload));
}

bool HandsetSendRaw(const std::vector<uint8_t>& bytes) {
    return Queue(bytes);
}

bool WaitForHandset(const std::function<bool(const HandsetView&)>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition(ReadHandset()))
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(PollMs);
    }
}

bool WaitForDisplay(const std::string& text, DWORD timeoutMs) {
    return WaitForHandset([&](const HandsetView& view) { return view.display == text; }, timeoutMs);
}

bool WaitForFrames(uint8_t command, uint32_t count, DWORD timeoutMs) {
    return WaitForHandset([&](const HandsetView& view) { return view.framesByCommand[command] >= count; },
                          timeoutMs);
}

bool WaitUntilBaseSent(DWORD timeoutMs) {
    return WaitForHandset([](const HandsetView&) { return !ChipSending(); }, timeoutMs);
}
