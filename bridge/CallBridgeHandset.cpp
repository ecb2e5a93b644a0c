// The order of what the handset is asked to do, across the pause between a connect and its release.
#include "bridge/CallBridge.h"

namespace {

// A call that never went in progress is connected first; the handset needs this long before the release.
constexpr unsigned ConnectBeforeReleaseMs = 500;

} // namespace

void CallBridge::ToHandset(std::function<void(Handset&)> step) {
    if (releaseDue)
        heldSteps.push_back(std::move(step));
    else
        step(handset);
}

// The pause is a timer, not a wait: Skype's next notification and the window go on meanwhile, while the
// handset gets every later step after the release.
void CallBridge::ConnectThenRelease() {
    ToHandset([](Handset& h) { h.ConnectHandset(); });
    if (releaseDue) {
        heldSteps.push_back(nullptr);
        return;
    }
    releaseDue = true;
    timers.StartTimer(BridgeTimer::Release, ConnectBeforeReleaseMs);
}

void CallBridge::OnReleaseTimer() {
    if (!releaseDue)
        return;
    releaseDue = false;
    handset.ReleaseHandset();
    while (!heldSteps.empty()) {
        std::function<void(Handset&)> step = std::move(heldSteps.front());
        heldSteps.pop_front();
        if (!step) {
            // Another call's connect went just before: its release waits its own pause.
            releaseDue = true;
            timers.StartTimer(BridgeTimer::Release, ConnectBeforeReleaseMs);
            return;
        }
        step(handset);
    }
}
