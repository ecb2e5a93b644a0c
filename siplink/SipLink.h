#pragma once
// The link between the program's Skype commands and SipLink's SIP phone: it keeps the calls (the program's
// ids tied to the phone's), the contacts with their presence, and what the program was told. It knows no
// window: its owner feeds it the program's commands and the phone's events, and it asks the phone through
// PhonePort and tells the program through LinkOutput.
#include <string>
#include <vector>

#include "siplink/Contacts.h"
#include "siplink/LinkCall.h"
#include "siplink/PhonePort.h"
#include "siplink/PresenceTold.h"

class LinkOutput {
  public:
    virtual ~LinkOutput() = default;
    // A notification for the program, one line of text; answers false when no program is attached to take
    // it (it is then dropped).
    virtual bool Notify(const std::string& text) = 0;
    virtual void Log(const std::string& tag, const std::string& text) = 0;
};

class SipLink {
  public:
    SipLink(PhonePort& phone, LinkOutput& output) : phone(phone), output(output) {}

    // A program has attached: it is told every contact's presence, whatever an earlier program was told.
    // Calls ring only while a program is attached; without one a caller hears busy.
    void ClientAttached();
    // The attached program is gone: a call it held is ended at the phone, nobody being there to talk.
    void ClientGone();
    // One command from the program; every command is answered.
    void Command(const std::string& text);

    // A call or presence event of the phone; the others are not the link's.
    void OnPhoneEvent(const phone::Event& event);
    // The line is withdrawn (no registration any more, or SipLink ends): every call ends, for the program
    // and at the phone, and the program hears its user logged out.
    void LineLost();
    // The contacts as the user keeps them; the phone is asked to watch their presence.
    void SetContacts(std::vector<Contact> list);

    // A call the program sees is up: the line is held for it.
    bool InCall() const;
    // The calls the link still knows, oldest first, for the tests' eyes.
    const std::vector<LinkCall>& Calls() const { return calls; }

  private:
    LinkCall* Find(const std::string& id);
    LinkCall* FindByPhone(phone::CallId phoneId);
    // Every change of a call's state goes through here: it checks the move, logs it, and does what entering
    // the state means: tells the program (RINGING, INPROGRESS, the end's status) and asks the phone
    // (Answer on Answering, Hangup on Releasing).
    void Move(LinkCall& call, LinkCall::State next, const std::string& why,
              const std::string& endStatus = "");
    void Notify(const LinkCall& call, const std::string& status);
    void Prune();

    void Dial(const std::string& target);
    void SetCall(const std::vector<std::string>& words, const std::vector<std::string>& upper);
    void GetPartner(const std::string& id, const std::string& property);
    void SearchFriends();
    void OnIncoming(const phone::Event& event);
    void OnClosed(LinkCall& call, const phone::Event& event);
    void OnPresence(const phone::Event& event);
    void ReportStatus(const std::string& handle, const std::string& status);
    void ReportChanges();

    PhonePort& phone;
    LinkOutput& output;
    // The calls the program sees, those the phone still has, and the last few ended, oldest first.
    std::vector<LinkCall> calls;
    unsigned nextId = 1;
    bool clientThere = false;
    ContactBook contacts;
    PresenceTold told;
};
