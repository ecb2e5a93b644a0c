// What the SIP line does for the handset around its calls: names reached by browsing and shown for a
// caller, the end key before the far end has answered anything, presence after SipLink restarts, and
// the line kept for the handset when another program asks for it.
#include "tests/sipcalls/SipDesk.h"

#include "tests/common/ApiClient.h"

namespace {

using sipcalls::AtProvider;
using sipcalls::Wait;

class SipLine : public sipcalls::SipDesk {
  protected:
    SipLine() {
        contacts.push_back({"Carol Smith", AtProvider(sipcalls::FarNumber)});
        farConfig.displayName = "Far End";
    }
};

TEST_F(SipLine, AContactWhoseNameBeginsWithACapitalIsReachedByBrowsingAndCalled) {
    ASSERT_TRUE(sipLink.WaitForLog("SEND", "USERS bob, carol_smith", 9000)) << ShowLog();
    Press("##");
    ASSERT_TRUE(
        WaitForHandset([](const HandsetView& view) { return view.display.rfind("bob", 0) == 0; }, Wait));
    Press("22"); // the group's first contact again, then the next
    ASSERT_TRUE(WaitForHandset(
        [](const HandsetView& view) { return view.display.rfind("carol_smith", 0) == 0; }, Wait))
        << "the handset shows [" << ReadHandset().display << "]";
    Press("#");
    ASSERT_TRUE(sipLink.WaitForLog("RECV", "CALL carol_smith")) << ShowLog();
    AgentMessage incoming;
    EXPECT_TRUE(farEnd.WaitForEvent("CALL_INCOMING", Wait, &incoming))
        << "the contact's address was not called";
}

TEST_F(SipLine, ACallerIsShownByTheNameTheirCallCarries) {
    ASSERT_TRUE(farEnd.Command("dial", AtProvider("alice")));
    EXPECT_TRUE(WaitForHandset(
        [](const HandsetView& view) { return view.ringing && view.caller == "Far_End"; }, Wait))
        << "the handset rings with [" << ReadHandset().caller << "]" << ShowLog();
}

TEST_F(SipLine, TheEndKeyEndsADialledCallTheProviderNeverAnswersAndTheNextDialGoesOut) {
    // The far end dies still registered: the provider sends the call where nothing answers for half a minute.
    farEnd.Close();
    farAgent.Kill();
    uint32_t releases = Releases();
    Dial(sipcalls::FarNumber);
    Sleep(3000);
    ASSERT_TRUE(HandsetHangUp(1));
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 1 STATUS FINISHED", 3000))
        << "the call was not ended" << ShowLog();
    EXPECT_TRUE(WaitForCallLight(false));
    Dial(sipcalls::FarNumber);
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 2 STATUS ROUTING")) << ShowLog();
    Sleep(1000);
    EXPECT_EQ(sipLink.Log().find("CALL 2 STATUS FAILED"), std::string::npos)
        << "the line was still blocked" << ShowLog();
    EXPECT_EQ(Releases(), releases) << "the second call was released";
}

TEST_F(SipLine, AnotherProgramOnThisPcCannotTakeTheLineFromTheHandset) {
    test::ApiClient stranger;
    EXPECT_EQ(stranger.Discover(1500), nullptr) << "attached without the user's word";
    std::string question;
    ASSERT_TRUE(test::WaitForAccessQuestion(3000, &question)) << ShowLog();
    EXPECT_NE(question.find("DectBridge.exe"), std::string::npos)
        << "the question does not say whose line it is: " << question;
    ASSERT_TRUE(test::AnswerAccessQuestion("Deny"));
    EXPECT_TRUE(stranger.WaitForStatus(2));

    ASSERT_TRUE(farEnd.Command("dial", AtProvider("alice")));
    EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return view.ringing; }, Wait))
        << "the call did not reach the handset" << ShowLog();
    EXPECT_TRUE(stranger.notes.empty()) << stranger.notes[0];
}

class SipLineAccented : public sipcalls::SipDesk {
  protected:
    SipLineAccented() { farConfig.displayName = "J\\xc3\\xbcrgen M\\xc3\\xbcller"; }
};

TEST_F(SipLineAccented, ACallersNameInAnyLettersReachesTheProgramAsOneWordOfUtf8) {
    ASSERT_TRUE(farEnd.Command("dial", AtProvider("alice")));
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 1 PARTNER_DISPNAME J\xc3\xbcrgen_M\xc3\xbcller"))
        << ShowLog();
    EXPECT_TRUE(
        WaitForHandset([](const HandsetView& view) { return view.ringing && view.caller[0] == 'J'; }, Wait))
        << "the handset rings with [" << ReadHandset().caller << "]";
}

class SipLineOnlineOnly : public sipcalls::SipDesk {
  protected:
    SipLineOnlineOnly() { showOnlineOnly = "1"; }
};

TEST_F(SipLineOnlineOnly, AfterSipLinkRestartsTheProgramLearnsAContactIsNoLongerOnline) {
    // The program has its contacts and asks their status; then bob comes online.
    ASSERT_TRUE(sipLink.WaitForLog("RECV", "GET USER bob ONLINESTATUS", 9000)) << ShowLog();
    ASSERT_TRUE(farEnd.Command("presence_online"));
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            std::string log = sipLink.Log();
            size_t online = log.rfind(" SEND USER bob ONLINESTATUS ONLINE\r");
            return online != std::string::npos && online > log.find(" RECV GET USER bob ONLINESTATUS");
        },
        Wait))
        << ShowLog();
    Press("##");
    ASSERT_TRUE(
        WaitForHandset([](const HandsetView& view) { return view.display.rfind("bob", 0) == 0; }, Wait));
    Press("#");
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_INCOMING", Wait)) << ShowLog();
    ASSERT_TRUE(HandsetHangUp(1));
    ASSERT_TRUE(WaitForCallLight(false));

    // SipLink starts anew while bob goes away.
    sipLink.Stop();
    farEnd.Close();
    farAgent.Stop();
    ASSERT_TRUE(WaitForSkypeLight(false)) << ShowLog();
    StartSipLink();
    ASSERT_TRUE(WaitForSkypeLight(true)) << "the program did not attach again" << ShowLog();
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            std::string log = sipLink.Log();
            size_t reattached = log.rfind(" ATTACH 0");
            size_t told = log.rfind(" SEND USER bob ONLINESTATUS ");
            return reattached != std::string::npos && told != std::string::npos && told > reattached &&
                   log.compare(told, 35, " SEND USER bob ONLINESTATUS ONLINE\r") != 0;
        },
        Wait))
        << ShowLog();
    Press("##");
    EXPECT_TRUE(WaitForHandset(
        [](const HandsetView& view) { return view.display.rfind("No contacts", 0) == 0; }, Wait))
        << "the online filter still offers [" << ReadHandset().display << "]";
}

} // namespace
