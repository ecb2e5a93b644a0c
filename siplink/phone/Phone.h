#pragma once
// SipLink's own SIP phone, as the window thread sees it. The stack (libre) runs on a thread of its own
// with its own loop; this facade is called on the window thread only, hands every request to the stack
// through libre's queue and gets the stack's events back by a message posted to the window, which then
// takes them with TakeEvents(). Nothing here blocks on the network.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace phone {

// A call's id, as the program sees it on the Skype API: never 0, never reused in a run. The window thread
// names the calls it places (Dial answers at once); the stack names the calls that come in.
using CallId = uint32_t;

struct Settings {
    std::string user;        // the account's user part (UTF-8, as typed)
    std::string domain;      // the account's domain, host[:port]
    std::string authUser;    // for the digest; empty: the user part
    std::string password;    // UTF-8, any characters the provider hands out
    std::string displayName; // UTF-8; empty: none
    std::string proxy;       // the registrar or outbound proxy, host[:port]; empty: the domain, by DNS
    std::string transport = "udp"; // "udp" or "tcp"
    unsigned registerSeconds = 300; // the expiry asked of the registrar
    // Requests (INVITE, OPTIONS, ...) are taken only from the registrar's or proxy's addresses; others are
    // dropped unanswered (SIP scanners ring every open port).
    bool providerOnly = true;
    // Sound devices by their Windows name; empty: the system's default.
    std::string speaker;    // what the user hears
    std::string microphone; // what the user says
    // The country code of the user's phone (as DectBridge's panel keeps it, e.g. "49"): chooses the
    // tones (ringback, busy) of that country; empty or unknown: ETSI's 425 Hz tones.
    std::string countryCode;
};

// Why a call ended, named once here so that the log, the program and the tests agree.
enum class CallEnd {
    HungUpHere,    // this side hung up (BYE sent, or CANCEL before an answer, or a ringing call declined)
    HungUpThere,   // the far end sent BYE
    CallerGaveUp,  // an incoming call was cancelled by the caller before it was answered
    Busy,          // 486 / 600
    Declined,      // 603
    NotFound,      // 404 / 604
    Unavailable,   // 480
    Refused,       // any other final answer >= 300 (code and reason in the event)
    NoAnswer,      // the SIP transaction timed out (408 or no answer at all)
    NoMedia,       // no RTP from the far end for too long in an established call, and no BYE
    NoCommonCodec, // the far end offered or answered no codec we have (488)
    Malformed,     // the far end's SIP or SDP could not be read
    LineBusy,      // refused here with 486: another call was up
    DeviceGone,    // the sound device went away in the call (if the phone ends calls for it)
    Stopped,       // the phone was stopped (SipLink ending, or the account changed)
};

// Plain words for the log: "hung up by the far end", "the far end is busy (486 Busy Here)", ...
std::string Describe(CallEnd end, int code, const std::string& reason);

struct Event {
    enum class Kind {
        Registration, // registration: the account's registration changed state
        Incoming,     // call, peerUri, peerName: a call rings here
        Progress,     // call: the far end rings (18x); earlyMedia when it sends its own sound
        Established,  // call: answered (200 OK / ACK)
        Closed,       // call, end, code, reason: the call is over; its id is not used again
        Presence,     // peerUri, presence: a contact's presence (from a subscription)
        Sound,        // missingDevice: a chosen sound device is missing ("" when all are there again)
    };
    enum class RegState {
        Unregistered, // no account, or stopped
        Registering,  // asked, no final answer yet
        Registered,   // the provider accepted; expires in `expires` seconds
        Refused,      // the provider answered no: code and reason (401/403 wrong password, 404, ...)
        Unreachable,  // no answer, or the request could not go (DNS, network): reason
    };
    enum class PresenceState { Unknown, Online, Offline, Busy };

    Kind kind = Kind::Registration;
    CallId call = 0;
    RegState registration = RegState::Unregistered;
    int code = 0;        // the SIP status code, when there was one
    std::string reason;  // the SIP reason phrase or the local error, as it came
    unsigned expires = 0;
    bool earlyMedia = false;
    CallEnd end = CallEnd::HungUpHere;
    std::string peerUri;  // "sip:user@host" of the other party, or the contact
    std::string peerName; // the display name the other party's request carried (UTF-8, may be empty)
    PresenceState presence = PresenceState::Unknown;
    std::string missingDevice;
};

class Stack; // the thread and everything on it

class Phone {
  public:
    // Starts the stack's thread; events are announced by posting `message` to `window` (wParam, lParam 0),
    // at most one such message waiting at a time.
    Phone(HWND window, UINT message);
    // Ends every call (BYE, CANCEL or 486), unregisters (waiting a bounded time for the answer), stops the
    // thread and frees everything. Events not taken are dropped.
    ~Phone();
    Phone(const Phone&) = delete;
    Phone& operator=(const Phone&) = delete;

    // False when the stack could not start (no socket, no thread); then nothing else does anything.
    bool Started() const;

    // Takes the settings; registers (again) when the account part changed or when `registerAgain`.
    // Sound device and tone changes apply to the next call and to the one up, without a new registration.
    void Apply(const Settings& settings, bool registerAgain = false);
    // Unregisters and stops refreshing; Apply or Register starts again.
    void Unregister();
    // Registers anew with the settings it has (a retry after a failure; SipLink paces the retries).
    void Register();

    // Places a call to `target`: a full "sip:" URI, or a number or user part that the account's domain
    // completes. Answers the call's id at once; what follows comes as events, Closed at the latest.
    CallId Dial(const std::string& target);
    void Answer(CallId call);
    // Ends the call, whatever its state: CANCEL, BYE or a decline (486/603) of a ringing incoming call.
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
