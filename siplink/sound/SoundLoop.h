#pragma once
// The work of the sound thread: the two devices, the 20 ms clock the port keeps through them (or by
// itself while neither is there), the watch for devices that go away and the search for missing ones.
// Lives and is used on the sound thread only.
#include <windows.h>

#include <string>

#include "siplink/sound/SoundPort.h"
#include "siplink/sound/WaveCapture.h"
#include "siplink/sound/WavePlayback.h"

namespace sound {

class SoundLoop {
  public:
    // A device that hands no buffer back for this long, while the thread runs, has gone away (a device
    // unplugged in the middle does not always say so); a stall of the machine is far shorter.
    static constexpr DWORD StallMs = 2000;
    // How often a missing device is looked for.
    static constexpr DWORD LookMs = 2000;

    // Opens what it finds of the devices and reports what is missing.
    SoundLoop(const SoundPort::Handlers& handlers, const std::string& speaker, const std::string& microphone);

    // Waits for the devices, the clock or `wake` (for at most a fraction of a second) and does what is
    // due; answers whether `wake` was signalled.
    bool Serve(HANDLE wake);
    // Looks for the missing devices now, and closes an open one whose name the system no longer lists.
    void LookAgain();

  private:
    // What the loop knows of each device beside its handle.
    struct Watch {
        LONGLONG lastDone = 0;        // when it last handed a buffer back
        bool worked = false;          // it did since it was opened
        bool reportedMissing = false; // as last reported
    };

    void Pull(Frame& frame);
    void Captured(const Frame& frame);
    void Play(Frame& frame);
    void Take(const Frame& frame);
    void KeepTime(LONGLONG now);
    void Open(bool isSpeaker);
    void Lost(bool isSpeaker);
    // Whether the device counts as missing: not open, or reported missing and not working yet since.
    static bool Missing(bool open, const Watch& watch) {
        return !open || (watch.reportedMissing && !watch.worked);
    }
    void Report();
    LONGLONG Now() const;
    LONGLONG Ms(LONGLONG ms) const { return ms * ticksPerSecond / 1000; }

    const SoundPort::Handlers& handlers;
    const std::string speakerName;
    const std::string microphoneName;
    WavePlayback playback;
    WaveCapture capture;
    LONGLONG ticksPerSecond = 1;
    Watch speaker;
    Watch microphone;
    LONGLONG nextLook = 0; // when missing devices are looked for next
    LONGLONG nextTick = 0; // the next frame's time while neither device keeps it
    std::string reported;  // the missing devices last reported
};

} // namespace sound
