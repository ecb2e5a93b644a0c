#include "siplink/account/RestartPause.h"

namespace {

constexpr uint32_t FirstPauseMs = 1000;
constexpr uint32_t LongestPauseMs = 60000;
// A run this long counts as a good one: the next end starts the pauses afresh.
constexpr uint32_t GoodRunMs = 60000;

} // namespace

uint32_t RestartPause::AfterEnd(uint32_t startedMs, uint32_t endedMs) {
    if (pauseMs == 0 || endedMs - startedMs >= GoodRunMs)
        pauseMs = FirstPauseMs;
    else if (pauseMs < LongestPauseMs)
        pauseMs = pauseMs * 2 < LongestPauseMs ? pauseMs * 2 : LongestPauseMs;
    return pauseMs;
}
