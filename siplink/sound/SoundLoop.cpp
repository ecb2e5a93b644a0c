#include "siplink/sound/SoundLoop.h"

#include "siplink/sound/DeviceList.h"

namespace sound {

namespace {

// Longest the thread waits without looking at the devices' progress.
constexpr LONGLONG RoundMs = 250;
// Behind the clock by more than this (a long stall), the thread starts the time anew rather than
// making up every frame at once.
constexpr LONGLONG CatchUpMs = 200;

const Frame Silence = {};

} // namespace

SoundLoop::SoundLoop(const SoundPort::Handlers& handlers, const std::string& speaker,
                     const std::string& microphone)
    : handlers(handlers), speakerName(speaker), microphoneName(microphone) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerSecond = frequency.QuadPart;
    // The microphone first: the speaker's first frames would otherwise stand in for it with silence.
    Open(false);
    Open(true);
    nextTick = Now() + Ms(FrameMs);
    nextLook = Now() + Ms(LookMs);
    Report();
}

LONGLONG SoundLoop::Now() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void SoundLoop::Pull(Frame& frame) {
    if (!handlers.nextToPlay || !handlers.nextToPlay(frame))
        frame = Silence;
}

void SoundLoop::Captured(const Frame& frame) {
    if (handlers.captured)
        handlers.captured(frame);
}

void SoundLoop::Play(Frame& frame) {
    Pull(frame);
    // The speaker keeps the time while the microphone is missing.
    if (!capture.IsOpen())
        Captured(Silence);
}

void SoundLoop::Take(const Frame& frame) {
    Captured(frame);
    // The microphone keeps the time while the speaker is missing: the frames due are asked for all the same,
    // so that what the far end sends does not pile up.
    if (!playback.IsOpen()) {
        Frame dropped;
        Pull(dropped);
    }
}

void SoundLoop::Open(bool isSpeaker) {
    Watch& watch = isSpeaker ? speaker : microphone;
    if (isSpeaker ? playback.Open(speakerName) : capture.Open(microphoneName)) {
        watch.lastDone = Now();
        watch.worked = false;
    }
    if (isSpeaker && playback.Refill([this](Frame& frame) { Play(frame); }) < 0)
        playback.Close();
}

void SoundLoop::Lost(bool isSpeaker) {
    if (isSpeaker)
        playback.Close();
    else
        capture.Close();
    // A device that worked may only have stumbled: opened again at once it carries on. One that never
    // worked since it was opened waits for the next look.
    if ((isSpeaker ? speaker : microphone).worked)
        Open(isSpeaker);
}

bool SoundLoop::Serve(HANDLE wake) {
    HANDLE handles[3] = {wake};
    DWORD count = 1;
    if (playback.IsOpen())
        handles[count++] = playback.Event();
    if (capture.IsOpen())
        handles[count++] = capture.Event();
    LONGLONG now = Now();
    LONGLONG due = now + Ms(RoundMs);
    if (!playback.IsOpen() && !capture.IsOpen() && nextTick < due)
        due = nextTick;
    if ((!playback.IsOpen() || !capture.IsOpen()) && nextLook < due)
        due = nextLook;
    DWORD timeout = due > now ? static_cast<DWORD>((due - now) * 1000 / ticksPerSecond + 1) : 0;
    bool woken = WaitForMultipleObjects(count, handles, FALSE, timeout) == WAIT_OBJECT_0;

    now = Now();
    if (playback.IsOpen()) {
        int played = playback.Refill([this](Frame& frame) { Play(frame); });
        if (played > 0) {
            speaker.lastDone = now;
            speaker.worked = true;
        } else if (played < 0 || now - speaker.lastDone > Ms(StallMs)) {
            Lost(true);
        }
    }
    if (capture.IsOpen()) {
        int taken = capture.Collect([this](const Frame& frame) { Take(frame); });
        if (taken > 0) {
            microphone.lastDone = now;
            microphone.worked = true;
        } else if (taken < 0 || now - microphone.lastDone > Ms(StallMs)) {
            Lost(false);
        }
    }
    KeepTime(now);
    if (now >= nextLook && (!playback.IsOpen() || !capture.IsOpen()))
        LookAgain();
    Report();
    return woken;
}

void SoundLoop::KeepTime(LONGLONG now) {
    if (playback.IsOpen() || capture.IsOpen()) {
        nextTick = now + Ms(FrameMs);
        return;
    }
    if (now - nextTick > Ms(CatchUpMs))
        nextTick = now;
    while (now >= nextTick) {
        Frame dropped;
        Pull(dropped);
        Captured(Silence);
        nextTick += Ms(FrameMs);
    }
}

void SoundLoop::LookAgain() {
    UINT id = 0;
    // A device unplugged leaves the system's list at once, before its buffers tell.
    if (playback.IsOpen() && !FindPlaybackDevice(speakerName, id))
        playback.Close();
    if (capture.IsOpen() && !FindCaptureDevice(microphoneName, id))
        capture.Close();
    if (!capture.IsOpen())
        Open(false);
    if (!playback.IsOpen())
        Open(true);
    nextLook = Now() + Ms(LookMs);
    Report();
}

void SoundLoop::Report() {
    speaker.reportedMissing = Missing(playback.IsOpen(), speaker);
    microphone.reportedMissing = Missing(capture.IsOpen(), microphone);
    std::string missing;
    if (speaker.reportedMissing)
        missing = speakerName.empty() ? "default speaker" : speakerName;
    if (microphone.reportedMissing) {
        std::string name = microphoneName.empty() ? "default microphone" : microphoneName;
        // One device for both ways (an old USB headset's single name) is named once.
        if (missing != name)
            missing += (missing.empty() ? "" : ", ") + name;
    }
    if (missing == reported)
        return;
    reported = missing;
    if (handlers.deviceState)
        handlers.deviceState(missing);
}

} // namespace sound
