#pragma once
// How long to wait before starting an agent that ended by itself again: a second at first, doubling with
// each end that follows a short run, back to a second once the agent has run a while.
#include <cstdint>

class RestartPause {
  public:
    // The agent, started at startedMs, ended at endedMs: the pause before the next start.
    uint32_t AfterEnd(uint32_t startedMs, uint32_t endedMs);

  private:
    uint32_t pauseMs = 0;
};
