// The line SipLink offers, driven in process with a fake phone and the real link: the account handed to the
// phone, the registration's events, and what becomes of the offer and the calls when the account is
// applied again, a refresh fails or the line goes.
#include <gtest/gtest.h>

#include "siplink/Line.h"
#include "tests/siplink/FakePhone.h"

namespace {

using RegState = phone::Event::RegState;
using Texts = std::vector<std::string>;

Account Alice() {
    Account account;
    account.address = "alice@127.0.0.1:5090";
    account.password = "M\xC3\xBCller-4f";
    account.speaker = "DECT_base_speaker";
    account.microphone = "DECT_base_mic";
    return account;
}

class LineFixture : public ::testing::Test, public LinkOutput, public LineOutput {
  protected:
    bool Notify(const std::string& text) override {
        if (offered)
            notes.push_back(text);
        return offered;
    }
    void Log(const std::string& tag, const std::string& text) override { logs.push_back(tag + " " + text); }
    void Offer(bool now) override {
        offered = now;
        offers.push_back(now);
    }
    void Changed() override { ++changes; }

    void Register(uint32_t nowMs = 0) {
        line.OnRegistration(FakePhone::Registration(RegState::Registered), nowMs);
    }
    // Registered with the line offered and a call up through it: the far end answered a dialled call.
    void InACall() {
        line.Start(Alice(), "49", 0);
        Register();
        link.ClientAttached();
        link.Command("CALL 42");
        call = phone.LastDialled();
        link.OnPhoneEvent(FakePhone::Established(call));
        line.Review(0);
        phone.Asked();
        notes.clear();
    }

    FakePhone phone;
    SipLink link{phone, *this};
    Line line{&phone, link, *this};
    bool offered = false;
    std::vector<bool> offers;
    Texts notes, logs;
    int changes = 0;
    phone::CallId call = 0;
};

TEST_F(LineFixture, TheAccountGoesToThePhoneAndTheLineIsOfferedWhileRegistered) {
    line.Start(Alice(), "49", 0);
    EXPECT_EQ(phone.Asked(), Texts{"apply and register alice@127.0.0.1:5090"});
    ASSERT_EQ(phone.applied.size(), 1u);
    const phone::Settings& settings = phone.applied[0];
    EXPECT_EQ(settings.password, "M\xC3\xBCller-4f");
    EXPECT_EQ(settings.speaker, "DECT_base_speaker");
    EXPECT_EQ(settings.countryCode, "49");
    EXPECT_TRUE(settings.providerOnly);
    EXPECT_EQ(line.State().Current(), Registration::State::Registering);
    EXPECT_FALSE(line.Offered());

    line.OnRegistration(FakePhone::Registration(RegState::Registering), 10);
    EXPECT_FALSE(line.Offered());
    Register(20);
    EXPECT_TRUE(line.Offered());
    // A refresh keeps the line; its failure with no call up takes it away and tells the program.
    line.OnRegistration(FakePhone::Registration(RegState::Registering), 30);
    EXPECT_TRUE(line.Offered());
    link.ClientAttached();
    line.OnRegistration(FakePhone::Registration(RegState::Refused, 403, "Forbidden"), 40);
    EXPECT_FALSE(line.Offered());
    EXPECT_EQ(offers, (std::vector<bool>{true, false}));
    EXPECT_NE(line.Describe().find("refused the password (403 Forbidden)"), std::string::npos)
        << line.Describe();
    EXPECT_GT(changes, 0) << "the window and the icon were not told";

    // The retry comes after the refusal's pause, not before.
    line.Tick(40 + 59999);
    EXPECT_TRUE(phone.Asked().empty());
    line.Tick(40 + 60000);
    EXPECT_EQ(phone.Asked(), Texts{"register"});
    Register(60100);
    EXPECT_TRUE(line.Offered());
}

TEST_F(LineFixture, AFailedRefreshNeverEndsACallThatIsUpAndTheLineGoesWhenTheCallEnds) {
    InACall();
    line.OnRegistration(FakePhone::Registration(RegState::Unreachable, 0, "Connection timed out"), 1000);
    line.Review(1000);
    EXPECT_TRUE(line.Offered()) << "the line went in the middle of the call";
    EXPECT_TRUE(link.InCall());
    EXPECT_TRUE(notes.empty()) << "the program was told something: " << notes[0];
    EXPECT_TRUE(phone.Asked().empty()) << "the call was touched";
    line.Tick(3000);
    EXPECT_EQ(phone.Asked(), Texts{"register"}) << "the registration is tried again in the call";
    line.OnRegistration(FakePhone::Registration(RegState::Unreachable, 0, "Connection timed out"), 3100);

    link.OnPhoneEvent(FakePhone::Closed(call, phone::CallEnd::HungUpThere));
    line.Review(4000);
    EXPECT_FALSE(line.Offered());
    EXPECT_EQ(notes, (Texts{"CALL 1 STATUS FINISHED", "USERSTATUS LOGGEDOUT"}));
}

TEST_F(LineFixture, ApplyInACallKeepsTheCallAndAChangedAccountWaitsForItsEnd) {
    InACall();
    size_t offersBefore = offers.size();
    line.Stored(Alice(), "49", 1000);
    EXPECT_TRUE(phone.Asked().empty()) << "nothing changed, yet the phone was asked";
    EXPECT_TRUE(line.Offered());

    // The devices follow at once, without a new registration.
    Account louder = Alice();
    louder.speaker = "Speakers";
    line.Stored(louder, "49", 1100);
    EXPECT_EQ(phone.Asked(), Texts{"apply alice@127.0.0.1:5090"});
    EXPECT_EQ(phone.applied.back().speaker, "Speakers");
    EXPECT_EQ(phone.applied.back().password, Alice().password);

    Account bob = louder;
    bob.address = "bob@127.0.0.1:5090";
    bob.password = "pa ss;\"\\<>";
    line.Stored(bob, "49", 1200);
    EXPECT_TRUE(phone.Asked().empty()) << "the changed account reached the phone in the call";
    EXPECT_NE(line.Describe().find("used once the call is over"), std::string::npos) << line.Describe();
    EXPECT_TRUE(line.Offered());
    EXPECT_EQ(line.State().Current(), Registration::State::Registered);
    EXPECT_TRUE(link.InCall());
    EXPECT_EQ(offers.size(), offersBefore) << "the line went and came";
    EXPECT_TRUE(notes.empty());

    link.Command("SET CALL 1 STATUS FINISHED");
    line.Review(2000);
    EXPECT_EQ(phone.Asked(),
              (Texts{"hangup " + std::to_string(call), "apply and register bob@127.0.0.1:5090"}));
    EXPECT_EQ(phone.applied.back().password, "pa ss;\"\\<>");
    EXPECT_EQ(line.State().Current(), Registration::State::Registering);
    EXPECT_FALSE(line.Offered()) << "the old account's line outlived it";
    EXPECT_EQ(line.Address(), "bob@127.0.0.1:5090");
}

TEST_F(LineFixture, ApplyAgainAfterAFailureTriesAtOnceAndAnUnusableAccountIsUnregistered) {
    line.Start(Alice(), "", 0);
    line.OnRegistration(FakePhone::Registration(RegState::Refused, 401, "Unauthorized"), 10);
    phone.Asked();
    line.Stored(Alice(), "", 20);
    EXPECT_EQ(phone.Asked(), Texts{"register"}) << "Apply pressed again after a failure";
    EXPECT_EQ(line.State().Current(), Registration::State::Registering);

    Account none = Alice();
    none.address = "";
    line.Stored(none, "", 30);
    EXPECT_EQ(phone.Asked(), Texts{"unregister"});
    EXPECT_EQ(line.State().Current(), Registration::State::NoAccount);
    Register(40);
    EXPECT_FALSE(line.Offered()) << "a registration of no account offered the line";
    line.Tick(10000000);
    EXPECT_TRUE(phone.Asked().empty()) << "retried without an account";
    // The same account as before it was taken away registers anew: the phone still has its settings.
    line.Stored(Alice(), "", 50);
    EXPECT_EQ(phone.Asked(), Texts{"apply and register alice@127.0.0.1:5090"});
    Register(60);
    EXPECT_TRUE(line.Offered());
}

TEST_F(LineFixture, SipLinkEndingEndsTheCallAndWithoutAPhoneTheLineNeverComes) {
    InACall();
    line.Close();
    EXPECT_FALSE(line.Offered());
    EXPECT_EQ(notes, (Texts{"CALL 1 STATUS FINISHED", "USERSTATUS LOGGEDOUT"}));
    EXPECT_EQ(phone.Asked(), Texts{"hangup " + std::to_string(call)});

    Line noPhone(nullptr, link, *this);
    noPhone.Start(Alice(), "", 0);
    noPhone.OnRegistration(FakePhone::Registration(RegState::Registered), 1);
    noPhone.Stored(Alice(), "", 2);
    noPhone.Tick(1000000);
    EXPECT_FALSE(noPhone.Offered());
    EXPECT_EQ(noPhone.State().Current(), Registration::State::NoPhone);
    EXPECT_NE(noPhone.Describe().find("could not start"), std::string::npos) << noPhone.Describe();
}

} // namespace
