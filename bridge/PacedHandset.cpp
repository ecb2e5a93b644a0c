#include "bridge/PacedHandset.h"

namespace {

// A call that never went in progress is connected first; the handset needs this long before the release.
constexpr unsigned ConnectBeforeReleaseMs = 500;

} // namespace

void PacedHandset::Do(Step step) {
    if (releaseDue)
        held.push_back(std::move(step));
    else
        step(handset);
}

// Skype's next notification and the window go on during the pause, while the handset gets every later step
// after the release.
void PacedHandset::ConnectThenRelease() {
    Do([](Handset& h) { h.ConnectHandset(); });
    if (releaseDue) {
        held.push_back(nullptr);
        return;
    }
    releaseDue = true;
    timers.StartTimer(BridgeTimer::Release, ConnectBeforeReleaseMs);
}

void PacedHandset::OnReleaseTimer() {
    if (!releaseDue)
        return;
    releaseDue = false;
    handset.ReleaseHandset();
    while (!held.empty()) {
        Step step = std::move(held.front());
        held.pop_front();
        if (!step) {
            // Another call's connect went just before: its release waits its own pause.
            releaseDue = true;
            timers.StartTimer(BridgeTimer::Release, ConnectBeforeReleaseMs);
            return;
        }
        step(handset);
    }
}
