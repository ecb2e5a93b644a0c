#pragma once
// The phone device in service: the product the library reports, the DECT base with its handshake, the
// mixer's open state and the handset event thread, from start through removal, resume and stop. It drives
// the handset for everyone else; without a base in service that does nothing.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "bridge/BridgePorts.h"

class DectBase;
class PacketLink;

// Posted by the event thread (a key, a frame from the base lost on its way, the base's departure) and by the
// handshake's thread (its end) to the session's window.
enum : UINT { WM_HANDSET_EVENT = 1225 };
enum : WPARAM {
    HANDSET_KEY = 100,
    HANDSET_GONE = 101,
    HANDSET_HANDSHAKE_DONE = 102,
    HANDSET_FRAME_LOST = 103
};

class DeviceSession : public Handset {
  public:
    DeviceSession();
    // Stops and joins the event thread, and waits for a handshake under way, before the base goes, whatever
    // ended the run.
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // The library's arrival notice; answers whether this product is now the one announced.
    bool OnArrived(DWORD arrivedProductId);
    enum class Removal { OtherProduct, Announced, InService };
    // The library's removal notice; a base in service is torn down by the event thread.
    Removal OnRemoved(DWORD removedProductId);

    enum class Opening { NoBase, Waking };
    // Asks the library for the product; for the DECT base, creates it and starts waking it on a thread of
    // its own (the handshake takes over half a second for an asleep base), which posts
    // HANDSET_HANDSHAKE_DONE to window when it ends. Until then the handset shows nothing.
    Opening Open(HWND window);
    enum class Handshaken { Stray, Started, Silent, Unplugged, Resumed };
    // HANDSET_HANDSHAKE_DONE: the handshake's thread is joined and its outcome taken. A start whose base
    // did not answer or was unplugged meanwhile releases it; the lights are shown as last asked. A message
    // that no handshake posted is Stray.
    Handshaken OnHandshakeDone();
    // A handshake is under way (the panel says so).
    bool Waking() const { return handshake != Handshake::None; }
    // Names the audio device and starts the event thread, which posts to the window.
    void Run();
    bool OpenMixer(HWND window);
    // After a suspend: the handshake again on its thread, then the indicators as they were. Answers
    // whether one began; a resume during a handshake has it run once more when it ends.
    bool Resume();
    // The event thread's HANDSET_GONE: answers whether it released a base (a stray message releases none).
    bool OnGone();
    // The orderly stop: the threads first, then the base, the mixer and the device.
    void StopThread();
    void Close();
    // WM_PHONE_KEY's value as an event code; false without a base.
    bool TranslateKey(int value, int32_t& code) const;

    bool HasBase() const { return base != nullptr; }
    // A base is in service or waking, and no removal has been noticed for it.
    bool InService() const { return base && !removing; }
    DWORD ProductId() const { return productId; }
    LONG DevicesPresent() const { return devicesPresent; }
    bool MixerOpen() const { return mixerOpen != 0; }
    HANDLE EventThread() const { return eventThread; }

    void ShowOnHandset(const std::string& text) override;
    void RingHandset(const std::string& caller) override;
    void ConnectHandset() override;
    void ReleaseHandset() override;
    void SetCallIndicator(bool on) override;
    void SetSkypeIndicator(bool on) override;

  private:
    enum class Handshake { None, Start, Resume };

    static unsigned __stdcall EventThreadEntry(void* session);
    void WaitForEvents();
    static unsigned __stdcall HandshakeEntry(void* session);
    void BeginHandshake(Handshake kind);
    void RunHandshake();
    // Waits for a running handshake to end and forgets it, before the base may go.
    void EndHandshake();
    void ShowLights(bool bothLines);
    // The base's packet link, or nullptr while no base is in service.
    PacketLink* HandsetLink() const;

    std::unique_ptr<DectBase> base;
    DWORD productId = 0;
    // Arrival notices minus removal notices.
    LONG devicesPresent = 0;
    int mixerOpen = 0;
    bool removing = false;
    // What the indicators were last asked to show since the base's handshake.
    bool skypeLight = false;
    bool callLight = false;

    HWND window = nullptr;
    HANDLE eventThread = nullptr;
    // The running handshake, what it is for and whether another is due after it (main thread only).
    Handshake handshake = Handshake::None;
    HANDLE handshakeThread = nullptr;
    bool handshakeAgain = false;
    // Written by the handshake's thread before it posts its end.
    std::atomic<bool> handshakeDone{false};
    std::atomic<int> handshakeResult{0};
    HANDLE removedEvent = nullptr;
    // Manual-reset: wakes the waiting event thread for the orderly stop.
    HANDLE stopEvent = nullptr;
    std::atomic<bool> stopEventThread{false};
    // Set by the event thread when it has left the unplugged base to the main thread.
    std::atomic<bool> baseLeft{false};
};
