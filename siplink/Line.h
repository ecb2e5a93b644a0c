#pragma once
// The line SipLink offers the program: the stored account handed to the phone, its registration, and the
// one rule of the offer: the line is there while the account is registered, and once offered it stays
// while a call is up, whatever a refresh meets meanwhile. An account changed in a call waits for the call's
// end; nothing changed changes nothing. When the line goes, the calls go with it in one place
// (SipLink::LineLost). Plain C++: the shell feeds it and carries out what LineOutput asks.
#include <cstdint>
#include <optional>
#include <string>

#include "siplink/PhonePort.h"
#include "siplink/SipLink.h"
#include "siplink/account/Account.h"
#include "siplink/account/Registration.h"

class LineOutput {
  public:
    virtual ~LineOutput() = default;
    // The line is offered to the program (the API window is made) or withdrawn (it goes).
    virtual void Offer(bool offered) = 0;
    // The registration's state, the account or the offer changed: the window's status and the icon follow.
    virtual void Changed() = 0;
    virtual void Log(const std::string& tag, const std::string& text) = 0;
};

class Line {
  public:
    // `phone` is null when SipLink's phone could not start: the line then never comes.
    Line(PhonePort* phone, SipLink& link, LineOutput& output) : phone(phone), link(link), output(output) {}

    // SipLink starts with the stored account.
    void Start(const Account& account, const std::string& countryCode, uint32_t nowMs);
    // The account window stored the account (or the panel's country code may have changed).
    void Stored(const Account& account, const std::string& countryCode, uint32_t nowMs);
    void OnRegistration(const phone::Event& event, uint32_t nowMs);
    // After anything that may have ended a call: an account that waited goes to the phone, and a line kept
    // only for the call goes.
    void Review(uint32_t nowMs);
    // Every tick: a registration that failed is tried again when its pause is over.
    void Tick(uint32_t nowMs);
    // SipLink ends: the line goes with every call.
    void Close();

    bool Offered() const { return offered; }
    const Registration& State() const { return registration; }
    // The account's address, user@domain.
    const std::string& Address() const { return account.address; }
    // The state in plain words with the account, for the window; it says when a changed account waits.
    std::string Describe() const;

  private:
    // The account goes to the phone now: registered anew, or unregistered when it cannot be used.
    void Use(const Account& next, const std::string& countryCode, uint32_t nowMs);
    void UpdateOffer();

    PhonePort* phone;
    SipLink& link;
    LineOutput& output;
    Registration registration;
    Account account;         // what the phone has
    std::string countryCode; // what the phone has
    // A changed account stored during a call, with its country code: it waits for the call's end.
    std::optional<std::pair<Account, std::string>> waiting;
    bool offered = false;
};
