#pragma once
// SipLink's own SIP phone, as the window thread sees it. The stack (libre) runs on a thread of its own
// with its own loop; this facade is called on the window thread only, hands every request to the stack
// through libre's queue and gets the stack's events back by a message posted to the window, which then
// takes them with TakeEvents(). Nothing here blocks on the network.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "siplink/phone/Event.h"
#include "siplink/phone/Settings.h"
#include "siplink/phone/Sound.h"

namespace phone {

class Stack; // the thread and everything on it

class Phone {
  public:
    // Starts the stack's thread; events are announced by posting `message` to `window` (wParam, lParam 0),
    // at most one such message waiting at a time. `sound` makes the sound devices of the calls; none:
    // calls without sound devices (MakeSilentSound).
    Phone(HWND window, UINT message, SoundFactory sound = nullptr);
    // Ends every call (BYE, CANCEL or 486), unregisters (waiting a bounded time for the answer), stops the
    // thread and frees everything. Events not taken are dropped.
    ~Phone();
    Phone(const Phone&) = delete;
    Phone& operator=(const Phone&) = delete;

    // False when the stack could not start (no socket, no thread, or another Phone runs in this process:
    // libre has one loop per process on Windows); then nothing else does anything.
    bool Started() const;

    // Takes the settings; registers (again) when the account part changed or when `registerAgain`.
    // Sound device and tone changes apply to the next call, without a new registration.
    void Apply(const Settings& settings, bool registerAgain = false);
    // Unregisters and stops refreshing; Apply or Register starts again.
    void Unregister();
    // Registers anew with the settings it has (a retry after a failure: the phone never retries by itself,
    // SipLink paces the retries). While a call is up the registration waits for its end.
    void Register();

    // Places a call to `target`: a full "sip:" URI, or a number or user part that the account's domain
    // completes. Answers the call's id at once; what follows comes as events, Closed at the latest.
    CallId Dial(const std::string& target);
    void Answer(CallId call);
    // Ends the call, whatever its state: CANCEL, BYE or 486 for a ringing incoming call.
    void Hangup(CallId call);
    // A key of the handset in a call: RFC 4733 event when the far end offered telephone-event, else SIP INFO.
    void SendDigit(CallId call, char key);
    // The system's sound devices may have changed (WM_DEVICECHANGE): look for missing ones again.
    void DevicesChanged();
    // Subscribes to the presence of these contacts ("sip:..." each); the answer comes as Presence events.
    void WatchPresence(const std::vector<std::string>& uris);

    // The events since the last call, oldest first.
    std::vector<Event> TakeEvents();

  private:
    std::unique_ptr<Stack> stack;
};

} // namespace phone
