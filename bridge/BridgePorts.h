#pragma once
// What the call bridge asks of the world besides Skype: the handset, its timers, two settings of the panel,
// the calls list's keeper and who hears of the handset's phase. Plain C++, no window; the owner of the
// bridge provides them.
#include <string>

#include "bridge/HandsetPhase.h"

class Handset {
  public:
    // The handset shows at most its first 12 characters.
    virtual void ShowOnHandset(const std::string& text) = 0;
    // Rings the handset, showing the caller.
    virtual void RingHandset(const std::string& caller) = 0;
    virtual void ConnectHandset() = 0;
    virtual void ReleaseHandset() = 0;
    virtual void SetCallIndicator(bool on) = 0;
    virtual void SetSkypeIndicator(bool on) = 0;

  protected:
    ~Handset() = default;
};

// Notice: the idle display (the count of missed calls) follows a notice on the handset: a call's length, the
// pause in which the talk key still answers the call that stopped ringing, or the pause after lost keys.
enum class BridgeTimer { Contacts, Ring, Release, Notice };

class BridgeTimers {
  public:
    // One-shot: the bridge hears of the expiry through CallBridge::OnTimer. Starting a running timer
    // starts it again.
    virtual void StartTimer(BridgeTimer timer, unsigned ms) = 0;

  protected:
    ~BridgeTimers() = default;
};

class DialSettings {
  public:
    // The country code as the user entered it.
    virtual std::string CountryCode() const = 0;
    // "Show online contact only": read at each step of browsing, so a change applies at once.
    virtual bool OnlineOnly() const = 0;

  protected:
    ~DialSettings() = default;
};

class CallLog;

// The owner of the calls list's storage and view, and the clock calls are timed with.
class CallListOwner {
  public:
    // The list or its count of missed calls not looked at changed: store it and show the count.
    virtual void CallListChanged(const CallLog& calls) = 0;
    // Milliseconds from any fixed point; only differences count.
    virtual unsigned long long NowMs() const = 0;

  protected:
    ~CallListOwner() = default;
};

// Hears every change of the handset's phase and why it happened, for the trace log.
class PhaseWatcher {
  public:
    virtual void PhaseChanged(HandsetPhase from, HandsetPhase to, const std::string& why) = 0;
    // A change the table forbids was asked for, and refused: a fault of the rules.
    virtual void PhaseRefused(HandsetPhase from, HandsetPhase to, const std::string& why) = 0;

  protected:
    ~PhaseWatcher() = default;
};
