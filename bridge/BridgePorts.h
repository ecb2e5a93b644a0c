#pragma once
// What the call bridge asks of the world besides Skype: the handset, its timers and two settings of the
// panel. Plain C++, no window; the owner of the bridge provides them.
#include <string>

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

enum class BridgeTimer { Contacts, Ring, Release };

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
