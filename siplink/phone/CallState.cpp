// The call's transitions, in one place: each says why it goes where it goes.
#include "siplink/phone/CallState.h"

namespace phone {

CallEnd EndForStatus(int code) {
    switch (code) {
    case 486:
    case 600:
        return CallEnd::Busy;
    case 603:
        return CallEnd::Declined;
    case 404:
    case 604:
        return CallEnd::NotFound;
    case 480:
        return CallEnd::Unavailable;
    case 408:
        return CallEnd::NoAnswer;
    case 488:
    case 606:
        return CallEnd::NoCommonCodec;
    default:
        return CallEnd::Refused;
    }
}

CallStep Step(CallState state, CallSignal signal, int code) {
    const CallStep stay{state, CallEnd::HungUpHere};
    auto end = [](CallEnd why) { return CallStep{CallState::Terminated, why}; };
    const bool placing =
        state == CallState::Outgoing || state == CallState::Ringing || state == CallState::Early;

    // Over is over: late answers, retransmissions and timers of an ended call change nothing.
    if (state == CallState::Terminated)
        return stay;
    switch (signal) {
    // Ends that mean the same in every live state.
    case CallSignal::HungUpHere: // libre sends what fits: CANCEL before an answer, 486 to a caller, else BYE
        return end(CallEnd::HungUpHere);
    case CallSignal::Stopped:
        return end(CallEnd::Stopped);
    case CallSignal::Failed:
        return end(CallEnd::Failed);
    case CallSignal::NoCommonCodec: // nothing could be heard: the far end gets BYE (or CANCEL)
        return end(CallEnd::NoCommonCodec);
    case CallSignal::Malformed:
        return end(CallEnd::Malformed);
    // An unanswered INVITE is nobody answering; in a call it is a far end that stopped answering.
    case CallSignal::TimedOut:
        return end(placing || state == CallState::Incoming ? CallEnd::NoAnswer : CallEnd::Failed);
    // A caller's CANCEL before the answer is a missed call; a BYE is the far end hanging up.
    case CallSignal::FarEnded:
        return end(state == CallState::Incoming ? CallEnd::CallerGaveUp : CallEnd::HungUpThere);
    // Only an answered call, not held by the far end (the caller does not time a held call), owes us sound.
    case CallSignal::NoMedia:
        return state == CallState::Established ? end(CallEnd::NoMedia) : stay;
    case CallSignal::Answered:
        return state == CallState::Incoming ? CallStep{CallState::Established, CallEnd::HungUpHere} : stay;
    // A 180 after early media keeps the far end's own sound playing, as a caller expects.
    case CallSignal::FarRinging:
        if (state == CallState::Outgoing)
            return {CallState::Ringing, CallEnd::HungUpHere};
        return stay;
    case CallSignal::FarEarlyMedia:
        return placing ? CallStep{CallState::Early, CallEnd::HungUpHere} : stay;
    case CallSignal::FarAnswered:
        return placing ? CallStep{CallState::Established, CallEnd::HungUpHere} : stay;
    case CallSignal::FarRefused:
        return placing ? end(EndForStatus(code)) : stay;
    }
    return stay;
}

bool RingbackIn(CallState state) {
    return state == CallState::Ringing;
}

bool BusyToneAfter(CallState from, CallEnd end) {
    if (from != CallState::Outgoing && from != CallState::Ringing && from != CallState::Early)
        return false;
    switch (end) {
    case CallEnd::Busy:
    case CallEnd::Declined:
    case CallEnd::NotFound:
    case CallEnd::Unavailable:
    case CallEnd::Refused:
    case CallEnd::NoAnswer:
    case CallEnd::NoCommonCodec:
    case CallEnd::Malformed:
    case CallEnd::Failed:
        return true;
    default:
        return false;
    }
}

const char* Name(CallState state) {
    switch (state) {
    case CallState::Outgoing:
        return "outgoing";
    case CallState::Ringing:
        return "ringing";
    case CallState::Early:
        return "early";
    case CallState::Incoming:
        return "incoming";
    case CallState::Established:
        return "established";
    case CallState::Terminated:
        return "terminated";
    }
    return "?";
}

} // namespace phone
