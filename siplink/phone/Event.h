#pragma once
// What the phone tells the window thread: its registration, its calls and how they ended, contacts'
// presence and missing sound devices. Plain data, named once here so that the log, SipLink and the tests
// agree.
#include <cstdint>
#include <string>

namespace phone {

// A call's id, as the program sees it on the Skype API: never 0, never reused in a run. The window thread
// names the calls it places (Dial answers at once); the stack names the calls that come in.
using CallId = uint32_t;

// Why a call ended.
enum class CallEnd {
    HungUpHere,    // this side hung up (BYE sent, or CANCEL before an answer, or a ringing call turned away)
    HungUpThere,   // the far end sent BYE
    CallerGaveUp,  // an incoming call was cancelled by the caller before it was answered
    Busy,          // 486 / 600
    Declined,      // 603
    NotFound,      // 404 / 604
    Unavailable,   // 480
    Refused,       // any other final answer >= 300 (code and reason in the event)
    NoAnswer,      // no final answer in time (408, or the transaction timed out)
    NoMedia,       // no RTP from the far end for MediaTimeoutS in an established call, and no BYE
    NoCommonCodec, // the far end offered or answered no codec we have (488)
    Malformed,     // the far end's SDP could not be read
    LineBusy,      // a caller turned away with 486 here: another call was up
    Failed,        // the call could not go on here: no line yet, a network error, the far end gone silent
    Stopped,       // the phone was stopped, or the account changed
};

// An established call whose far end has sent no RTP for this long (and no BYE) is ended with NoMedia: a
// person hearing nothing for that long has hung up anyway, and a far end lost without its BYE (a router
// restarted, a crashed phone) must not hold the line. Calls held by the far end are not timed.
constexpr unsigned MediaTimeoutS = 20;

// Plain words for the log: "hung up by the far end", "the far end is busy (486 Busy Here)", ...
std::string Describe(CallEnd end, int code, const std::string& reason);

struct Event {
    enum class Kind {
        Registration, // registration: the account's registration changed state
        Incoming,     // call, peerUri, peerName: a call rings here
        Progress,     // call: the far end rings (18x); earlyMedia when it sends its own sound
        Established,  // call: answered (200 OK)
        // call, end, code, reason: the call is over; its id is not used again. A caller turned away
        // without ringing here (LineBusy while another call was up, NoCommonCodec) gets a Closed of its
        // own, with peerUri and peerName, and no Incoming before it.
        Closed,
        Presence, // peerUri, presence: a contact's presence (from a subscription)
        Sound,    // missingDevice: a chosen sound device is missing ("" when all are there again)
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
    int code = 0;       // the SIP status code, when there was one
    std::string reason; // the SIP reason phrase or the local error, as it came
    unsigned expires = 0;
    bool earlyMedia = false;
    CallEnd end = CallEnd::HungUpHere;
    std::string peerUri;  // "sip:user@host" of the other party, or the contact
    std::string peerName; // the display name the other party's request carried (UTF-8, may be empty)
    PresenceState presence = PresenceState::Unknown;
    std::string missingDevice;
    // A closed call's RTP packets, for the log: sent, and received from the far end and played.
    uint32_t packetsSent = 0;
    uint32_t packetsReceived = 0;
};

} // namespace phone
