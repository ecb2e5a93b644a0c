#pragma once
// A phone for SipLink's plain parts: it writes down what it is asked, one line each ("dial 42",
// "hangup 101", ...), names dialled calls from 101 up, and makes the events a real phone would send.
#include <string>
#include <vector>

#include "siplink/PhonePort.h"

class FakePhone : public PhonePort {
  public:
    void Apply(const phone::Settings& settings, bool registerAgain) override {
        applied.push_back(settings);
        asked.push_back((registerAgain ? "apply and register " : "apply ") + settings.user + "@" +
                        settings.domain);
    }
    void Register() override { asked.push_back("register"); }
    void Unregister() override { asked.push_back("unregister"); }
    phone::CallId Dial(const std::string& target) override {
        asked.push_back("dial " + target);
        return nextCall++;
    }
    void Answer(phone::CallId call) override { asked.push_back("answer " + std::to_string(call)); }
    void Hangup(phone::CallId call) override { asked.push_back("hangup " + std::to_string(call)); }
    void SendDigit(phone::CallId call, char key) override {
        asked.push_back("digit " + std::to_string(call) + " " + key);
    }
    void WatchPresence(const std::vector<std::string>& uris) override {
        std::string list;
        for (const std::string& uri : uris)
            list += (list.empty() ? "" : ",") + uri;
        asked.push_back("watch " + list);
    }
    void DevicesChanged() override { asked.push_back("devices"); }
    std::vector<phone::Event> TakeEvents() override { return {}; }

    // What was asked since the last look.
    std::vector<std::string> Asked() {
        std::vector<std::string> fresh(asked.begin() + static_cast<long>(taken), asked.end());
        taken = asked.size();
        return fresh;
    }
    phone::CallId LastDialled() const { return nextCall - 1; }

    static phone::Event Incoming(phone::CallId call, const std::string& uri, const std::string& name = "") {
        phone::Event event;
        event.kind = phone::Event::Kind::Incoming;
        event.call = call;
        event.peerUri = uri;
        event.peerName = name;
        return event;
    }
    static phone::Event Progress(phone::CallId call, bool earlyMedia = false) {
        phone::Event event;
        event.kind = phone::Event::Kind::Progress;
        event.call = call;
        event.earlyMedia = earlyMedia;
        return event;
    }
    static phone::Event Established(phone::CallId call) {
        phone::Event event;
        event.kind = phone::Event::Kind::Established;
        event.call = call;
        return event;
    }
    static phone::Event Closed(phone::CallId call, phone::CallEnd end, int code = 0,
                               const std::string& reason = "") {
        phone::Event event;
        event.kind = phone::Event::Kind::Closed;
        event.call = call;
        event.end = end;
        event.code = code;
        event.reason = reason;
        return event;
    }
    static phone::Event Presence(const std::string& uri, phone::Event::PresenceState presence) {
        phone::Event event;
        event.kind = phone::Event::Kind::Presence;
        event.peerUri = uri;
        event.presence = presence;
        return event;
    }
    static phone::Event Registration(phone::Event::RegState state, int code = 0,
                                     const std::string& reason = "") {
        phone::Event event;
        event.kind = phone::Event::Kind::Registration;
        event.registration = state;
        event.code = code;
        event.reason = reason;
        return event;
    }

    std::vector<phone::Settings> applied;

  private:
    std::vector<std::string> asked;
    size_t taken = 0;
    phone::CallId nextCall = 101;
};
