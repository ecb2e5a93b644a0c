#pragma once
// One call as the program sees it through SipLink: the program's id, the phone's, and one named state. The
// states a call may go through and what the program is told of its end are decided here; SipLink moves a
// call from one state to the next in one function (SipLink::Move).
#include <string>

#include "siplink/phone/Event.h"

struct LinkCall {
    enum class State {
        Dialling,  // placed, the far end not ringing yet (the program was told ROUTING)
        Alerting,  // placed, the far end rings (RINGING)
        Ringing,   // came in and rings here (RINGING)
        Answering, // came in, the program answered; the phone has not said it is established yet
        Talking,   // INPROGRESS
        Releasing, // over for the program (it was told the end); the phone was asked to end it
        Ended,     // over at the phone too; kept a while so that a late command about it is answered
    };

    unsigned id = 0;           // the program's, counted from 1; 0 for a caller turned away busy (never told)
    phone::CallId phoneId = 0; // 0 when the call never reached the phone (a dial refused at once)
    bool outgoing = false;
    State state = State::Dialling;
    std::string handle;    // PARTNER_HANDLE: what dials this party again
    std::string name;      // PARTNER_DISPNAME: how the party is shown
    std::string endStatus; // the status the program was told at the call's end
};

const char* StateName(LinkCall::State state);

// The call may go from `from` to `to`; every other move is refused and logged.
bool MayMove(LinkCall::State from, LinkCall::State to);

// The program sees the call: it may still command it, and it holds the line.
bool ForProgram(const LinkCall& call);

// The status the program is told when the phone ends a call the program sees.
std::string EndStatus(const LinkCall& call, phone::CallEnd end);
// The status the program is told when the line goes with the call still up.
std::string LostStatus(const LinkCall& call);
