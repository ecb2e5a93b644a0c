#pragma once
// The call bridge with fakes of everything it talks to, each recording what it was asked, in order. Plain
// C++ like the bridge itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "bridge/CallBridge.h"

namespace callbridge_test {

using Strings = std::vector<std::string>;

// The command queue as the link keeps it: commands wait until the test lets them leave.
class FakeSkype : public SkypeCommands {
  public:
    void QueueSkypeCommand(const std::string& text, CallTag call) override { queue.push_back({text, call}); }
    bool DropSkypeCommands(CallTag call) override {
        if (call == NoCall)
            return false;
        auto kept =
            std::remove_if(queue.begin(), queue.end(), [call](const Entry& e) { return e.call == call; });
        bool dropped = kept != queue.end();
        queue.erase(kept, queue.end());
        return dropped;
    }
    Strings Waiting() const {
        Strings texts;
        for (const Entry& entry : queue)
            texts.push_back(entry.text);
        return texts;
    }
    // What Skype was sent: the waiting commands leave, oldest first.
    Strings Send() {
        Strings texts = Waiting();
        queue.clear();
        return texts;
    }

  private:
    struct Entry {
        std::string text;
        CallTag call;
    };
    std::vector<Entry> queue;
};

// "show <text>", "ring <caller>", "connect", "release", "call light 0/1", "skype light 0/1".
class FakeHandset : public Handset {
  public:
    void ShowOnHandset(const std::string& text) override { seen.push_back("show " + text); }
    void RingHandset(const std::string& caller) override { seen.push_back("ring " + caller); }
    void ConnectHandset() override { seen.push_back("connect"); }
    void ReleaseHandset() override { seen.push_back("release"); }
    void SetCallIndicator(bool on) override { seen.push_back(std::string("call light ") + (on ? "1" : "0")); }
    void SetSkypeIndicator(bool on) override {
        seen.push_back(std::string("skype light ") + (on ? "1" : "0"));
    }
    Strings Take() {
        Strings taken;
        taken.swap(seen);
        return taken;
    }

  private:
    Strings seen;
};

class FakeTimers : public BridgeTimers {
  public:
    void StartTimer(BridgeTimer timer, unsigned ms) override { running[timer] = ms; }
    // The period the timer was last started with, 0 when it is not running; asking stops it.
    unsigned Take(BridgeTimer timer) {
        auto found = running.find(timer);
        if (found == running.end())
            return 0;
        unsigned ms = found->second;
        running.erase(found);
        return ms;
    }

    std::map<BridgeTimer, unsigned> running;
};

// Keeps what the bridge last handed over for storing, and a clock the test moves.
class FakeCallListOwner : public CallListOwner {
  public:
    void CallListChanged(const CallLog& calls) override {
        storedLines = calls.Lines();
        storedUnseen = calls.UnseenMissed();
        ++changes;
    }
    unsigned long long NowMs() const override { return now; }

    Strings storedLines;
    unsigned storedUnseen = 0;
    int changes = 0;
    unsigned long long now = 100000;
};

class FakeSettings : public DialSettings {
  public:
    std::string CountryCode() const override { return countryCode; }
    bool OnlineOnly() const override { return onlineOnly; }

    std::string countryCode;
    bool onlineOnly = false;
};

using Phase = HandsetPhase;

// What the bridge asks of a call Skype has just told of: the other party's handle, then its name.
inline Strings PartyQueries(const std::string& id) {
    return {"GET CALL " + id + " PARTNER_HANDLE", "GET CALL " + id + " PARTNER_DISPNAME"};
}

class CallBridgeTest : public ::testing::Test {
  protected:
    void Notify(const std::string& text) { bridge.HandleSkypeNotification(text); }
    void Press(const std::string& keys) {
        for (char key : keys)
            bridge.HandleHandsetKey(static_cast<uint8_t>(key));
    }
    // The timer expires: it is stopped, then the bridge hears of it.
    bool Expire(BridgeTimer timer) {
        if (!timers.Take(timer))
            return false;
        bridge.OnTimer(timer);
        return true;
    }
    // An incoming call whose caller is known: the ring and the partner query have gone through.
    void StartIncoming(const std::string& id, const std::string& caller) {
        Notify("CALL " + id + " STATUS RINGING");
        ASSERT_EQ(skype.Send(), PartyQueries(id));
        Notify("CALL " + id + " PARTNER_HANDLE " + caller);
        ASSERT_NE(bridge.CurrentCall(), nullptr);
        ASSERT_EQ(bridge.CurrentCall()->partnerHandle, caller);
    }
    const CallRecord& Call() const { return *bridge.CurrentCall(); }
    Strings Handles() const {
        Strings handles;
        for (const ContactRecord& contact : bridge.Contacts().Contacts())
            handles.push_back(contact.handle);
        return handles;
    }

    FakeSkype skype;
    FakeHandset handset;
    FakeTimers timers;
    FakeSettings settings;
    CallBridge bridge{skype, handset, timers, settings};
};

} // namespace callbridge_test
