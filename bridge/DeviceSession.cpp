// The base is created and deleted on the main thread only. At unplug the event thread stops taking events,
// posts HANDSET_GONE and ends; OnGone then joins it and deletes the base. The handshake's thread uses the
// base until it posts its end; every deletion first waits for a handshake under way (EndHandshake), and
// while a start's handshake creates the link the handset is not driven. So every main-thread use of the
// base (display, indicators, ringing, key translation) happens before the deletion or after it, and no
// lock is needed around it.
#include "bridge/DeviceSession.h"

#include <process.h>

#include "chip/PhoneLibrary.h"
#include "dect/DectBase.h"
#include "dect/PacketLink.h"
#include "skype/ClientText.h"

namespace {

// Should a wait ever fail, the thread looks at the base again after this pause rather than spin.
constexpr DWORD FailedWaitPauseMs = 5;
// The thread ends at once when waiting, or after the packet it is receiving (under two seconds); a thread
// wedged longer must not hold up the window for ever.
constexpr DWORD EventThreadStopMs = 10000;

// Waits for a thread that is ending or about to; one wedged beyond the bound is ended by force. Neither
// thread it is used for takes a lock that would stay held: the register lock is taken over from a dead
// owner.
void JoinThread(HANDLE& thread) {
    if (!thread)
        return;
    if (WaitForSingleObject(thread, EventThreadStopMs) == WAIT_TIMEOUT)
        TerminateThread(thread, 1);
    CloseHandle(thread);
    thread = nullptr;
}

} // namespace

DeviceSession::DeviceSession()
    : removedEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      stopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

DeviceSession::~DeviceSession() {
    StopThread();
    base.reset();
    for (HANDLE event : {removedEvent, stopEvent})
        if (event)
            CloseHandle(event);
}

bool DeviceSession::OnArrived(DWORD arrivedProductId) {
    ++devicesPresent;
    if (productId != 0)
        return false; // a device is already announced or in service
    productId = arrivedProductId;
    return true;
}

DeviceSession::Removal DeviceSession::OnRemoved(DWORD removedProductId) {
    // A base present at start-up came without an arrival notice; its removal must not leave the count
    // below zero, which would show an absent base as present.
    if (devicesPresent > 0)
        --devicesPresent;
    if (removedProductId != productId)
        return Removal::OtherProduct;
    productId = 0;
    if (!base || removing)
        return Removal::Announced;
    removing = true;
    SetEvent(removedEvent);
    return Removal::InService;
}

DeviceSession::Opening DeviceSession::Open(HWND mainWindow) {
    OpenDevice(&productId);
    if (productId != DectBaseProductId)
        return Opening::NoBase;
    window = mainWindow;
    base = std::make_unique<DectBase>();
    removing = false;
    skypeLight = false;
    callLight = false;
    BeginHandshake(Handshake::Start);
    return Opening::Waking;
}

void DeviceSession::BeginHandshake(Handshake kind) {
    handshake = kind;
    handshakeDone = false;
    handshakeThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, HandshakeEntry, this, 0, nullptr));
    if (!handshakeThread)
        RunHandshake(); // no thread to be had: the window waits this once rather than lose the base
}

unsigned __stdcall DeviceSession::HandshakeEntry(void* session) {
    static_cast<DeviceSession*>(session)->RunHandshake();
    return 0;
}

void DeviceSession::RunHandshake() {
    handshakeResult = base->Open();
    handshakeDone = true;
    PostMessageA(window, WM_HANDSET_EVENT, HANDSET_HANDSHAKE_DONE, 0);
}

DeviceSession::Handshaken DeviceSession::OnHandshakeDone() {
    if (handshake == Handshake::None || !handshakeDone)
        return Handshaken::Stray;
    Handshake ended = handshake;
    bool again = handshakeAgain;
    EndHandshake();
    if (ended == Handshake::Start) {
        if (removing) {
            Close(); // unplugged while waking: no event thread was there to notice
            return Handshaken::Unplugged;
        }
        if (!handshakeResult) {
            base.reset();
            return Handshaken::Silent;
        }
    }
    // A silent base after a resume keeps its link and shows up at the next unplug.
    if (again) {
        BeginHandshake(Handshake::Resume);
    } else {
        // The handshake sets the lines off; a start shows only what was asked meanwhile.
        ShowLights(ended == Handshake::Resume);
    }
    return ended == Handshake::Start ? Handshaken::Started : Handshaken::Resumed;
}

void DeviceSession::EndHandshake() {
    JoinThread(handshakeThread);
    handshake = Handshake::None;
    handshakeDone = false;
    handshakeAgain = false;
}

void DeviceSession::ShowLights(bool bothLines) {
    if (bothLines || skypeLight)
        SetSkypeIndicator(skypeLight);
    if (bothLines || callLight)
        SetCallIndicator(callLight);
}

void DeviceSession::Run() {
    if (!SetDeviceName("USB Internet Phone By"))
        SetDeviceName("USB");
    if (!base->NeedsEventThread())
        return;
    stopEventThread = false;
    baseLeft = false;
    // A removal notice left over from a base that went earlier must not end the new thread.
    ResetEvent(removedEvent);
    ResetEvent(stopEvent);
    eventThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, EventThreadEntry, this, 0, nullptr));
    if (eventThread)
        SetThreadPriority(eventThread, THREAD_PRIORITY_TIME_CRITICAL);
}

bool DeviceSession::OpenMixer(HWND mainWindow) {
    MixerOpenRecord mixer = {};
    lstrcpynA(mixer.name, "USB", sizeof mixer.name);
    mixer.window = mainWindow;
    mixerOpen = ::OpenMixer(&mixer);
    return mixerOpen != 0;
}

bool DeviceSession::Resume() {
    if (!base || removing)
        return false;
    if (Waking()) {
        handshakeAgain = true; // the suspend may have cut the one under way
        return false;
    }
    BeginHandshake(Handshake::Resume);
    return true;
}

bool DeviceSession::OnGone() {
    if (!baseLeft.exchange(false))
        return false;
    // The thread posted its last message just before it ended.
    JoinThread(eventThread);
    if (!base)
        return false; // the orderly stop has released the device meanwhile
    Close();
    return true;
}

void DeviceSession::StopThread() {
    stopEventThread = true;
    SetEvent(stopEvent);
    JoinThread(eventThread);
    EndHandshake();
}

void DeviceSession::Close() {
    EndHandshake();
    base.reset();
    removing = false;
    mixerOpen = 0;
    CloseMixer();
    CloseDevice();
}

bool DeviceSession::TranslateKey(int value, int32_t& code) const {
    if (!base)
        return false;
    code = base->TranslateKey(value);
    return true;
}

unsigned __stdcall DeviceSession::EventThreadEntry(void* session) {
    static_cast<DeviceSession*>(session)->WaitForEvents();
    return 0;
}

// Takes every frame the base has sent, then sleeps until the reader has a byte in the inbound pipe, the
// base is removed or the thread is to stop. Nothing is lost between the two: a byte that comes after the
// pipe was found empty sets the event, and one that came before is read before the wait. A frame the packet
// layer dropped is told in its place among the keys, so that the call rules know a key may be missing.
void DeviceSession::WaitForEvents() {
    PacketLink* link = base->Link();
    HANDLE arrived = link ? link->InboundEvent() : nullptr;
    HANDLE wakers[] = {removedEvent, stopEvent, arrived};
    DWORD count = arrived ? 3 : 2;
    for (;;) {
        while (!stopEventThread) {
            int event = base->PollEvent();
            if (link && link->TakeFrameLost())
                PostMessageA(window, WM_HANDSET_EVENT, HANDSET_FRAME_LOST, 0);
            if (!event)
                break; // to the wait, which also hears of a removal (a base unplugged sends broken frames)
            // Codes of 128 and above reach the window negative, as the byte is signed.
            LONG code = static_cast<signed char>(base->TakeKeyCode());
            PostMessageA(window, WM_HANDSET_EVENT, HANDSET_KEY, code);
        }
        DWORD woke = WaitForMultipleObjects(count, wakers, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0) {
            // The main thread deletes the base and closes mixer and device on this message.
            baseLeft = true;
            PostMessageA(window, WM_HANDSET_EVENT, HANDSET_GONE, 0);
            return;
        }
        if (woke == WAIT_OBJECT_0 + 1)
            return; // stopped: the orderly stop releases the device itself
        if (woke == WAIT_FAILED)
            Sleep(FailedWaitPauseMs);
    }
}

// While a start's handshake runs, its thread is making the link.
PacketLink* DeviceSession::HandsetLink() const {
    return base && handshake != Handshake::Start ? base->Link() : nullptr;
}

// The display takes its width in bytes; a character of the code page is never cut in two at its edge.
void DeviceSession::ShowOnHandset(const std::string& text) {
    if (PacketLink* link = HandsetLink())
        link->ShowText(CutToWidth(text, DisplayWidth).c_str());
}

void DeviceSession::RingHandset(const std::string& caller) {
    if (PacketLink* link = HandsetLink())
        link->SendIncomingCall(CutToWidth(caller, DisplayWidth).c_str());
}

void DeviceSession::ConnectHandset() {
    if (PacketLink* link = HandsetLink())
        link->SendConnect();
}

void DeviceSession::ReleaseHandset() {
    if (PacketLink* link = HandsetLink())
        link->SendRelease();
}

// During a handshake the lights are only noted: it holds the registers, and shows them when it ends.
void DeviceSession::SetCallIndicator(bool on) {
    callLight = on;
    if (Waking())
        return;
    if (PacketLink* link = HandsetLink())
        link->SetCallIndicator(on ? 1 : 0);
}

void DeviceSession::SetSkypeIndicator(bool on) {
    skypeLight = on;
    if (Waking())
        return;
    if (PacketLink* link = HandsetLink())
        link->SetSkypeIndicator(on ? 1 : 0);
}
