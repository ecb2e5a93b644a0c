#include "dect/FineTimer.h"

#include <windows.h>

#include <mmsystem.h>

namespace {
constexpr UINT ResolutionMs = 1;
}

FineTimer::~FineTimer() {
    Release();
}

void FineTimer::Hold() {
    if (!held)
        held = timeBeginPeriod(ResolutionMs) == TIMERR_NOERROR;
}

void FineTimer::Release() {
    if (held)
        timeEndPeriod(ResolutionMs);
    held = false;
}
