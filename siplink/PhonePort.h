#pragma once
// What SipLink asks of its SIP phone (siplink/phone/): the shell gives the link and the line the real
// phone, the tests a fake one. Every request returns at once; what comes of it comes back as the phone's
// events, which the shell takes after the phone's message and hands on.
#include <string>
#include <vector>

#include "siplink/phone/Event.h"
#include "siplink/phone/Settings.h"

class PhonePort {
  public:
    virtual ~PhonePort() = default;

    // Takes the settings; registers again when their account part changed or when `registerAgain`.
    virtual void Apply(const phone::Settings& settings, bool registerAgain) = 0;
    // Registers anew with the settings it has: a retry after a failure.
    virtual void Register() = 0;
    virtual void Unregister() = 0;

    // The call's id at once; its Closed event comes at the latest.
    virtual phone::CallId Dial(const std::string& target) = 0;
    virtual void Answer(phone::CallId call) = 0;
    // Ends the call whatever its state (CANCEL, BYE, or a busy answer to a call ringing here).
    virtual void Hangup(phone::CallId call) = 0;
    virtual void SendDigit(phone::CallId call, char key) = 0;
    virtual void WatchPresence(const std::vector<std::string>& uris) = 0;

    virtual void DevicesChanged() = 0;
    virtual std::vector<phone::Event> TakeEvents() = 0;
};
