#pragma once
// What the handset is asked to do, in order, across the pause a connect needs before its release: a call
// that never went in progress is connected first and released a moment later, and every step asked
// meanwhile waits for that release. Plain C++; the pause is one of the bridge's timers.
#include <deque>
#include <functional>

#include "bridge/BridgePorts.h"

class PacedHandset {
  public:
    PacedHandset(Handset& handset, BridgeTimers& timers) : handset(handset), timers(timers) {}

    using Step = std::function<void(Handset&)>;
    // At once, unless a release is due: then after it, in the order asked.
    void Do(Step step);
    // Connects, and releases after the pause; the pause is a timer, not a wait.
    void ConnectThenRelease();
    // BridgeTimer::Release has expired.
    void OnReleaseTimer();

  private:
    Handset& handset;
    BridgeTimers& timers;
    // A release is due when the timer expires; the steps asked meanwhile wait in order. A null step
    // stands for another connect's pause.
    bool releaseDue = false;
    std::deque<Step> held;
};
