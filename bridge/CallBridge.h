#pragma once
// The handset's side of Skype calls: the dialling state, the current call, the dialled number, the
// contact list and browsing it, the ring repeat and the end of a call. Plain C++ with no window, timer or
// library call inside: its inputs are Skype's notification texts, handset event codes and timer expiries;
// what it wants done leaves through the interfaces its owner gives it.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "bridge/BridgePorts.h"
#include "bridge/CallLog.h"
#include "bridge/CallRecord.h"
#include "bridge/ContactList.h"
#include "skype/SkypeCommands.h"

enum DialState : int32_t {
    Idle = 0,
    EnteringNumber = 1,
    BrowsingContacts = 2,
    InCall = 3,
    BrowsingCalls = 4
};

class CallBridge {
  public:
    CallBridge(SkypeCommands& skype, Handset& handset, BridgeTimers& timers, const DialSettings& settings);

    // One notification's text, as Skype sent it.
    void HandleSkypeNotification(const std::string& text);
    // One handset event; only the low byte of the code counts.
    void HandleHandsetKey(int32_t code);
    void OnTimer(BridgeTimer timer);
    // A base has come into service: the contact list is asked for a little later.
    void OnDeviceStarted();
    // The calls list is kept and timed through its owner; without one it is held for this run only and
    // call times are not shown.
    void SetCallListOwner(CallListOwner* owner) { callListOwner = owner; }
    // A stored list, at start-up; false (and an empty list) when it was damaged.
    bool RestoreCalls(const std::vector<std::string>& lines, unsigned unseenMissed);
    // The link to Skype is lost (its window went, refused a command, or another took its place): the calls
    // it knew of are over for the handset, and whoever attaches next starts from nothing.
    void OnLinkLost();

    DialState State() const { return dialState; }
    const std::string& DialString() const { return dialString; }
    const CallRecord* CurrentCall() const { return currentCall.get(); }
    const ContactList& Contacts() const { return contacts; }
    uint8_t LastKey() const { return lastKey; }
    const CallLog& Calls() const { return calls; }

  private:
    using Words = std::vector<std::string>;

    // Skype's side (CallBridge.cpp).
    void OnCallNotification(const Words& words);
    void StartCall(const std::string& callId, CallStatus status);
    void OnCallStatus(const std::string& status);
    void OnPartnerHandle(const std::string& handle);
    void EndCall(const std::string& status);
    void OnUsers(const Words& words);
    void OnError(const Words& words);
    void OnContactsTimer();
    void OnRingTimer();

    // The handset's side (CallBridgeKeys.cpp).
    void CallKey(uint8_t key);
    void PressHash();
    void CallTypedNumber();
    void PlaceCall(const std::string& target);
    void StartBrowsing();
    void StepContacts(uint8_t key);
    void ShowContact(const ContactRecord* contact);
    void AbandonDialledCall();

    // The calls list, redial and what the idle handset shows (CallBridgeCalls.cpp).
    void OpenCallList();
    void ShowCallEntry(const CallEntry* entry);
    void CallShownEntry();
    void Redial();
    void RecordCall(CallKind kind, const std::string& target, const std::string& name, bool unseen = true);
    void AfterCallEnded(const CallRecord& call);
    void OnNoticeTimer();
    void ShowIdleText();
    void CallListChanged();
    // What the handset shows of the other party: the contact's name when one matched, the withheld word
    // for a caller with no number, else the handle.
    static std::string ShownCaller(const CallRecord& call);

    // Outputs to the handset wait while a release is due (CallBridgeHandset.cpp).
    void ToHandset(std::function<void(Handset&)> step);
    void ConnectThenRelease();
    void OnReleaseTimer();

    SkypeCommands& skype;
    Handset& handset;
    BridgeTimers& timers;
    const DialSettings& settings;

    DialState dialState = Idle;
    std::string dialString;
    uint8_t lastKey = 0;
    std::unique_ptr<CallRecord> currentCall;
    ContactList contacts;
    CallTag lastTag = NoCall;
    // Carried by the contact list's request, so that a request still waiting is replaced, not repeated.
    const CallTag contactsRequest = ++lastTag;
    // Carried by the calls the handset dialled that Skype has not yet reported.
    CallTag dialTag = NoCall;
    // A dialled call was given up after its CALL may have left: the next routing of a call that is not
    // current is that one, and is finished at Skype instead of taken as the handset's call.
    bool finishWhenRouted = false;
    // The call so finished; what Skype still says of it is not for the handset, up to its end.
    std::string abandonedCallId;

    CallLog calls;
    CallListOwner* callListOwner = nullptr;
    // After a call: its length is on the display, or an unanswered call has just stopped ringing and the
    // talk key meant to answer it must not redial. Ends with the notice timer, which shows the idle display.
    enum class AfterCall { Nothing, ShowingTime, RingJustEnded };
    AfterCall afterCall = AfterCall::Nothing;

    // A connect waits this long for its release; meanwhile the steps asked later wait in order. A null
    // step stands for another connect's pause.
    bool releaseDue = false;
    std::deque<std::function<void(Handset&)>> heldSteps;
};
