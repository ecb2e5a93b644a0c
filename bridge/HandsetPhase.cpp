#include "bridge/HandsetPhase.h"

#include <initializer_list>

namespace {

using P = HandsetPhase;

unsigned Bit(HandsetPhase phase) {
    return 1u << static_cast<unsigned>(phase);
}

unsigned Phases(std::initializer_list<HandsetPhase> phases) {
    unsigned set = 0;
    for (HandsetPhase phase : phases)
        set |= Bit(phase);
    return set;
}

// The phases that may follow each phase, besides Idle, which may follow any.
unsigned Next(HandsetPhase from) {
    // Where the idle handset can go: a number, the calls list, a ring, a call placed at the PC, lost keys.
    const unsigned fromIdle =
        Phases({P::EnteringNumber, P::BrowsingCalls, P::Ringing, P::RoutingWithoutHandset, P::KeysLost});
    switch (from) {
    case P::Idle:
        return fromIdle | Bit(P::Dialling); // redial
    case P::RingEnded:
        return fromIdle; // the talk key was a late answer: no redial
    case P::KeysLost:
        return Phases({P::Ringing, P::RoutingWithoutHandset});
    case P::EnteringNumber:
        return Phases({P::BrowsingContacts, P::Dialling, P::KeysLost, P::RoutingWithoutHandset});
    case P::BrowsingContacts:
        return Phases({P::Dialling, P::KeysLost, P::RoutingWithoutHandset});
    case P::BrowsingCalls:
        return Phases({P::Dialling, P::Ringing, P::KeysLost, P::RoutingWithoutHandset});
    case P::Dialling:
        // Skype names the call; or another call rings in first.
        return Phases({P::Routing, P::Ringing});
    case P::Routing:
    case P::RoutingWithoutHandset:
        return Phases({P::Talking, P::HangingUp});
    case P::Ringing:
        return Phases({P::Answering, P::Talking, P::HangingUp, P::RingEnded});
    case P::Answering:
        return Phases({P::Talking, P::HangingUp, P::RingEnded});
    case P::Talking:
        return Phases({P::HangingUp});
    case P::HangingUp:
        return Phases({P::RingEnded}); // a call turned away while it rang
    }
    return 0;
}

} // namespace

const char* PhaseName(HandsetPhase phase) {
    switch (phase) {
    case P::Idle:
        return "Idle";
    case P::RingEnded:
        return "RingEnded";
    case P::KeysLost:
        return "KeysLost";
    case P::EnteringNumber:
        return "EnteringNumber";
    case P::BrowsingContacts:
        return "BrowsingContacts";
    case P::BrowsingCalls:
        return "BrowsingCalls";
    case P::Dialling:
        return "Dialling";
    case P::Routing:
        return "Routing";
    case P::RoutingWithoutHandset:
        return "RoutingWithoutHandset";
    case P::Ringing:
        return "Ringing";
    case P::Answering:
        return "Answering";
    case P::Talking:
        return "Talking";
    case P::HangingUp:
        return "HangingUp";
    }
    return "?";
}

bool PhaseChangeAllowed(HandsetPhase from, HandsetPhase to) {
    return to == P::Idle || (Next(from) & Bit(to)) != 0;
}

bool HasCall(HandsetPhase phase) {
    const unsigned withCall =
        Phases({P::Routing, P::RoutingWithoutHandset, P::Ringing, P::Answering, P::Talking, P::HangingUp});
    return (withCall & Bit(phase)) != 0;
}

bool IsIdle(HandsetPhase phase) {
    return phase == P::Idle || phase == P::RingEnded;
}
