#include "siplink/LinkCall.h"

using State = LinkCall::State;

const char* StateName(State state) {
    switch (state) {
    case State::Dialling:
        return "Dialling";
    case State::Alerting:
        return "Alerting";
    case State::Ringing:
        return "Ringing";
    case State::Answering:
        return "Answering";
    case State::Talking:
        return "Talking";
    case State::Releasing:
        return "Releasing";
    case State::Ended:
        return "Ended";
    }
    return "?";
}

bool MayMove(State from, State to) {
    // Any call may end, at the program's word (Releasing) or the phone's (Ended); a call ending at the
    // program's word ends at the phone next.
    if (to == State::Releasing)
        return from != State::Releasing && from != State::Ended;
    if (to == State::Ended)
        return from != State::Ended;
    switch (from) {
    case State::Dialling:
        return to == State::Alerting || to == State::Talking;
    case State::Alerting:
    case State::Answering:
        return to == State::Talking;
    case State::Ringing:
        return to == State::Answering;
    default:
        return false;
    }
}

bool ForProgram(const LinkCall& call) {
    return call.id != 0 && call.state != State::Releasing && call.state != State::Ended;
}

std::string EndStatus(const LinkCall& call, phone::CallEnd end) {
    // Every end of a call that was talking is FINISHED: the program then releases the handset only if it
    // is still in the call.
    if (call.state == State::Talking)
        return "FINISHED";
    if (!call.outgoing)
        return "MISSED";
    switch (end) {
    case phone::CallEnd::HungUpHere:
        return "FINISHED";
    case phone::CallEnd::Busy:
    case phone::CallEnd::LineBusy:
        return "BUSY";
    case phone::CallEnd::Declined:
        return "REFUSED";
    default:
        return "FAILED";
    }
}

std::string LostStatus(const LinkCall& call) {
    // A call ringing here never reached the handset's line: MISSED stops the program's ring.
    return call.outgoing || call.state == State::Talking ? "FINISHED" : "MISSED";
}
