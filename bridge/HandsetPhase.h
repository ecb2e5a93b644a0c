#pragma once
// The handset's phase: what the user is doing with the handset and where the call it concerns stands. The
// table of which phase may follow which is here; the call bridge changes its phase only through it. Plain
// C++.

enum class HandsetPhase {
    Idle,
    // An unanswered call has just stopped ringing: for a moment the talk key was meant to answer it.
    RingEnded,
    // A frame from the base was lost while the handset was idle or a number was being chosen: the keys
    // that follow it are ignored until a pause, so that none of them makes a number or a choice.
    KeysLost,
    EnteringNumber,
    BrowsingContacts,
    BrowsingCalls,
    // The handset asked Skype for a call, which Skype has not named yet.
    Dialling,
    // The call the handset dialled is named; the far end has not answered.
    Routing,
    // A call placed elsewhere (at the PC, or one the handset left before Skype named it) is routed; the
    // handset joins it when it goes in progress.
    RoutingWithoutHandset,
    // A call comes in and rings the handset.
    Ringing,
    // The handset took the ringing call; Skype has not yet put it in progress.
    Answering,
    // The call is in progress with the handset in it.
    Talking,
    // The handset ended the call; Skype has not yet reported its end.
    HangingUp,
};

const char* PhaseName(HandsetPhase phase);
// Whether the table lets `to` follow `from`. Every phase may end in Idle (the link to Skype may go at any
// moment); staying in a phase is no change.
bool PhaseChangeAllowed(HandsetPhase from, HandsetPhase to);
// The phases that concern a Skype call, the bridge's current call; no other phase has one.
bool HasCall(HandsetPhase phase);
// The idle handset, whatever notice it shows: it takes a ring, a '#' or the calls list.
bool IsIdle(HandsetPhase phase);
