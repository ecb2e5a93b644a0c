// Contacts' presence: PIDF read as the far ends write it, and a subscription to baresip (user 42) through
// the provider that follows it going online and offline.
#include "tests/phone/PhoneDesk.h"

#include "siplink/phone/Pidf.h"

namespace {

using phone::Event;
using phone::PresenceOf;
using State = phone::Event::PresenceState;
using phonetest::AtProvider;
using phonetest::Wait;

std::string Pidf(const std::string& basic, const std::string& person = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<presence xmlns=\"urn:ietf:params:xml:ns:pidf\" "
           "xmlns:rpid=\"urn:ietf:params:xml:ns:pidf:rpid\" entity=\"sip:42@example.net\">\n" +
           person + "<tuple id=\"t1\"><status><basic>" + basic +
           "</basic></status><contact>sip:42@example.net</contact></tuple></presence>";
}

TEST(Pidfs, OpenClosedAndBusyAsFarEndsWriteThem) {
    EXPECT_EQ(PresenceOf(Pidf("open", "<dm:person id=\"p1\"><rpid:activities/></dm:person>")), State::Online);
    EXPECT_EQ(PresenceOf(Pidf("closed")), State::Offline);
    EXPECT_EQ(PresenceOf(Pidf(" OPEN ")), State::Online);
    EXPECT_EQ(
        PresenceOf(Pidf("open", "<dm:person><rpid:activities><rpid:busy/></rpid:activities></dm:person>")),
        State::Busy);
    EXPECT_EQ(PresenceOf(Pidf("open", "<dm:person><rpid:activities><rpid:on-the-phone/></rpid:activities>"
                                      "</dm:person>")),
              State::Busy);
    EXPECT_EQ(PresenceOf(Pidf("open", "<note>DND until 5</note>")), State::Busy);
    // A prefixed PIDF namespace reads the same.
    EXPECT_EQ(
        PresenceOf("<p:presence xmlns:p=\"urn:ietf:params:xml:ns:pidf\"><p:tuple><p:status><p:basic>closed"
                   "</p:basic></p:status></p:tuple></p:presence>"),
        State::Offline);
}

TEST(Pidfs, AnythingElseIsUnknown) {
    EXPECT_EQ(PresenceOf(""), State::Unknown);
    EXPECT_EQ(PresenceOf("<presence><tuple><status></status></tuple></presence>"), State::Unknown);
    EXPECT_EQ(PresenceOf(Pidf("maybe")), State::Unknown);
    EXPECT_EQ(PresenceOf("<basic>open"), State::Unknown);
    EXPECT_EQ(PresenceOf("</basic>open</basic>"), State::Unknown);
}

class Presence : public phonetest::PhoneDesk {};

TEST_F(Presence, AContactsPresenceFollowsItThroughTheProvider) {
    RegisterAlice();
    StartFarAgent();
    // Baresip tells "?" (unknown) until it is told its own.
    ASSERT_TRUE(farEnd.Command("presence_online"));
    const std::string contact = AtProvider("42");
    phone->WatchPresence({contact});
    Event told;
    ASSERT_TRUE(WaitForEvent([](const Event& event) { return event.kind == Event::Kind::Presence; }, &told))
        << ShowEvents();
    EXPECT_EQ(told.peerUri, contact);
    EXPECT_EQ(told.presence, State::Online);
    ASSERT_TRUE(farEnd.Command("presence_offline"));
    ASSERT_TRUE(WaitForEvent([](const Event& event) { return event.kind == Event::Kind::Presence; }, &told))
        << ShowEvents();
    EXPECT_EQ(told.presence, State::Offline);
}

} // namespace
