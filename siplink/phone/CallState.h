#pragma once
// A call's life as one named state and the one function that moves it (the shape of baresip's call.c):
// what happened to the call goes in as a signal; the next state and, for an end, why come out. Plain C++
// without the SIP library: Call.cpp turns libre's callbacks into signals and acts on the states.
#include "siplink/phone/Event.h"

namespace phone {

enum class CallState {
    Outgoing,    // our INVITE is out, nothing but 100 back yet
    Ringing,     // the far end rings (18x without SDP): we play ringback
    Early,       // the far end sends its own sound before it answers (18x with SDP)
    Incoming,    // a caller's INVITE rings here (180 sent), not answered yet
    Established, // answered, either way
    Terminated,  // over; nothing moves it any more
};

enum class CallSignal {
    Answered,      // Answer() of an incoming call: 200 sent
    HungUpHere,    // Hangup()
    Stopped,       // the phone stops or the account changes
    FarRinging,    // 18x without SDP
    FarEarlyMedia, // 18x with SDP
    FarAnswered,   // 2xx to our INVITE
    FarRefused,    // a final answer >= 300 to our INVITE (its code goes with it)
    FarEnded,      // the far end's BYE, or the caller's CANCEL of an incoming call
    TimedOut,      // a transaction of the call got no answer in time (INVITE, ACK awaited, BYE)
    Failed,        // a request of the call could not be sent (network error, no socket)
    NoCommonCodec, // the far end's SDP has no codec of ours
    Malformed,     // the far end's SDP could not be read
    NoMedia,       // no RTP from the far end for MediaTimeoutS in an established call
};

struct CallStep {
    CallState next;
    CallEnd end; // why, when next is Terminated
};

// The state after `signal` in `state`; `code` is the SIP status of FarRefused. A signal that means nothing
// in a state (a late 180, a second 200) leaves it as it is.
CallStep Step(CallState state, CallSignal signal, int code = 0);

// A final answer to our INVITE as the end it names.
CallEnd EndForStatus(int code);

// The far end's call state the user hears here: ringback while it rings without sound of its own.
bool RingbackIn(CallState state);

// A call of ours that ended this way before an answer (`from` is its last state before Terminated) is
// followed by the busy tone for a few seconds (BusyToneMs): the far end refused or never answered. Not
// after a conversation, nor when the user hung up.
bool BusyToneAfter(CallState from, CallEnd end);
constexpr unsigned BusyToneMs = 4000;

const char* Name(CallState state);

} // namespace phone
