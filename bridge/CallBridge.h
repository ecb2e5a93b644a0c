#pragma once
// The handset's side of Skype calls: the handset's phase with the call it concerns, the dialled number, the
// contact list and browsing it, the calls list, the ring repeat and the end of a call. Plain C++ with no
// window, timer or library call inside: its inputs are Skype's notification texts, handset event codes,
// frames lost on the way from the base and timer expiries; what it wants done leaves through the
// interfaces its owner gives it. Its files:
//   bridge/CallBridge.cpp         Skype's notifications: the current call and the contact list
//   bridge/CallBridgePhase.cpp    ChangePhase, the only change of phase; the end of a call; the link's loss
//   bridge/CallBridgeKeys.cpp     handset events: dialling, tones, answering, hanging up, browsing contacts,
//                                 lost keys
//   bridge/CallBridgeCalls.cpp    the calls list, redial, the missed-call count and the length of a call
#include <cstdint>
#include <memory>
#include <string>

#include "bridge/BridgePorts.h"
#include "bridge/CallLog.h"
#include "bridge/CallRecord.h"
#include "bridge/ContactList.h"
#include "bridge/HandsetPhase.h"
#include "bridge/PacedHandset.h"
#include "skype/ApiLine.h"
#include "skype/SkypeCommands.h"

class CallBridge {
  public:
    CallBridge(SkypeCommands& skype, Handset& handset, BridgeTimers& timers, const DialSettings& settings);

    // One notification's text, as Skype sent it.
    void HandleSkypeNotification(const std::string& text);
    // One handset event; only the low byte of the code counts.
    void HandleHandsetKey(int32_t code);
    // A frame from the base was lost on its way (a key, perhaps): a number being chosen cannot be trusted.
    void OnHandsetFrameLost();
    void OnTimer(BridgeTimer timer);
    // A base has come into service: the contact list is asked for a little later.
    void OnDeviceStarted();
    // The calls list is kept and timed through its owner; without one it is held for this run only and
    // call times are not shown.
    void SetCallListOwner(CallListOwner* owner) { callListOwner = owner; }
    // Who hears of every change of phase (the trace log); none: nobody.
    void SetPhaseWatcher(PhaseWatcher* watcher) { phaseWatcher = watcher; }
    // A stored list, at start-up; false (and an empty list) when it was damaged.
    bool RestoreCalls(const std::vector<std::string>& lines, unsigned unseenMissed);
    // The link to Skype is lost (its window went, refused a command, or another took its place): the calls
    // it knew of are over for the handset, and whoever attaches next starts from nothing.
    void OnLinkLost();

    HandsetPhase Phase() const { return current.phase; }
    const std::string& DialString() const { return dialString; }
    const CallRecord* CurrentCall() const { return current.call.get(); }
    const ContactList& Contacts() const { return contacts; }
    uint8_t LastKey() const { return lastKey; }
    const CallLog& Calls() const { return calls; }

  private:
    // The one change of phase: checks it against the table, lets the call go when the new phase has none,
    // tells the watcher why, and gives the handset what entering the phase shows. A change the table
    // forbids is refused and reported.
    // Answers whether the phase changed. A call phase entered from one without a call brings its call.
    bool ChangePhase(HandsetPhase to, const std::string& why, std::unique_ptr<CallRecord> call = nullptr);
    void EnterPhase(HandsetPhase from, HandsetPhase to);

    // Skype's side (CallBridge.cpp).
    void OnCallNotification(const ApiLine& words);
    void OnRouting(const std::string& callId);
    void StartCall(const std::string& callId, bool incoming, HandsetPhase phase);
    void OnCallStatus(const std::string& status);
    void OnInProgress();
    void OnPartnerHandle(const std::string& handle);
    void OnPartnerName(const std::string& name);
    // The other party as the phase shows it: a routed call the name or handle it went to, a ringing or
    // answered one its caller; and showing it so (a ringing call rings with it).
    std::string PartyText(const CallRecord& call) const;
    void ShowParty();
    void OnUsers(const ApiLine& words);
    void OnError(const ApiLine& words);
    void OnContactsTimer();
    void OnRingTimer();

    // The end of the current call, into the phase that follows it (CallBridgePhase.cpp).
    void EndCall(const std::string& status, bool linkLost = false);

    // The handset's side (CallBridgeKeys.cpp).
    void CallKey(uint8_t key);
    void AskOfCall(const std::string& command);
    void IdleKey(uint8_t key);
    void PressHash();
    void CallTypedNumber();
    void PlaceCall(const std::string& target);
    void StartBrowsing();
    void StepContacts(uint8_t key);
    void ShowContact(const ContactRecord* contact);
    void GiveUpDial();
    bool IgnoredAfterLostKey(uint8_t key);

    // The calls list, redial and what the idle handset shows (CallBridgeCalls.cpp).
    void OpenCallList();
    void ShowCallEntry(const CallEntry* entry);
    void CallShownEntry();
    void Redial();
    void RecordCall(CallKind kind, const std::string& target, const std::string& name, bool unseen = true);
    // The calls list and the notice after a call; answers the phase the end leads to.
    HandsetPhase AfterCallEnded(const CallRecord& call, bool turnedAway);
    void OnNoticeTimer();
    void ShowIdleText();
    void CallListChanged();
    // What the handset shows of the other party: the contact's name when one matched, the withheld word
    // for a caller with no number, the name the client gave, else the handle.
    static std::string ShownCaller(const CallRecord& call);
    // The name the calls list keeps beside the handle: the contact's, else the client's (none for a caller
    // who withholds the number).
    static std::string ListedName(const CallRecord& call);

    void Show(const std::string& text);

    SkypeCommands& skype;
    PacedHandset handset;
    BridgeTimers& timers;
    const DialSettings& settings;

    // The handset's phase and the call it concerns: one record, which only ChangePhase changes; the call is
    // there exactly while the phase has one.
    struct PhaseRecord {
        HandsetPhase phase = HandsetPhase::Idle;
        std::unique_ptr<CallRecord> call;
    };
    PhaseRecord current;
    PhaseWatcher* phaseWatcher = nullptr;

    // The digits typed, the contact or the calls list's entry shown; what was dialled stays until Skype
    // reports the call's status.
    std::string dialString;
    uint8_t lastKey = 0;
    ContactList contacts;
    CallTag lastTag = NoCall;
    // Carried by the contact list's request, so that a request still waiting is replaced, not repeated.
    const CallTag contactsRequest = ++lastTag;

    // The handset's CALL from the moment it is queued until Skype names its call (ROUTING). It may outlive
    // Dialling: the handset leaves with '#', or another call rings first. Given up after the CALL left, the
    // call Skype routes next is that one, and it is finished at Skype instead of taken.
    struct DialAtSkype {
        enum class Stage { None, Waiting, GivenUp } stage = Stage::None;
        CallTag tag = NoCall; // the CALL's, while Waiting
        std::string target;   // what it calls, which the handset shows while Dialling
    };
    DialAtSkype dial;
    // A given-up call that Skype has named and is finishing: what it still says of it is not the handset's.
    std::string finishingCallId;

    CallLog calls;
    CallListOwner* callListOwner = nullptr;
};
