// Notifications besides a call's road: errors, the user's status, statuses that change nothing, and texts
// that are too short, in the wrong case or otherwise not understood.
#include "tests/callbridge/Fakes.h"

namespace callbridge_test {
namespace {

class Notifications : public CallBridgeTest {};

TEST_F(Notifications, ErrorsOtherThan24ShowTheNumberAndReleaseTheHandset) {
    StartIncoming("5", "alice");
    Press("C");
    handset.Take();
    Notify("ERROR 24 some text");
    EXPECT_EQ(handset.Take(), Strings{});

    Notify("ERROR 68 Access denied");
    EXPECT_EQ(handset.Take(), (Strings{"show 68", "call light 0", "release"}));
    EXPECT_EQ(bridge.Phase(), Phase::Answering) << "an error leaves the phase";
    EXPECT_EQ(Call().callId, "5") << "an error leaves the call record";
}

TEST_F(Notifications, AnErrorEmptiesTheNumberBeingTyped) {
    Press("#99");
    Notify("ERROR 24");
    EXPECT_EQ(bridge.DialString(), "99");
    Notify("ERROR 7");
    EXPECT_EQ(bridge.DialString(), "");
}

TEST_F(Notifications, StatusesOtherThanTheRoadsOnlyEmptyTheNumber) {
    StartIncoming("5", "alice");
    Press("C");
    Notify("CALL 5 STATUS INPROGRESS");
    handset.Take();
    skype.Send();
    for (const char* status : {"ONHOLD", "INPROGRESS", "LOCALHOLD"}) {
        Notify("CALL 5 STATUS " + std::string(status));
        EXPECT_EQ(bridge.Phase(), Phase::Talking) << status;
    }
    EXPECT_EQ(handset.Take(), Strings{});
    EXPECT_EQ(skype.Send(), Strings{});
}

TEST_F(Notifications, ALoggedOutStatusAsksForTheUserStatusAgain) {
    Notify("USERSTATUS ONLINE");
    Notify("CONNSTATUS ONLINE");
    EXPECT_EQ(skype.Send(), Strings{});
    Notify("CONNSTATUS LOGGEDOUT");
    Notify("USERSTATUS LOGGEDOUT");
    EXPECT_EQ(skype.Send(), (Strings{"GET USERSTATUS", "GET USERSTATUS"}));
}

TEST_F(Notifications, LowerCaseShortAndMalformedTextsChangeNothing) {
    StartIncoming("5", "alice");
    handset.Take();
    Press("C");
    skype.Send();
    handset.Take();
    const Strings ignored = {"call 5 status ringing",
                             "call 5 status finished",
                             "error 68",
                             "users bob",
                             "CALL",
                             "CALL 5",
                             "CALL 5 STATUS",
                             "CALL 5 PARTNER_HANDLE",
                             "CALL  STATUS RINGING",
                             " CALL 5 STATUS FINISHED",
                             "CALL 5 DURATION 12",
                             "ERROR",
                             "USER",
                             "USER bob",
                             "USER bob ONLINESTATUS",
                             "USERSTATUS",
                             "CONNSTATUS",
                             "",
                             " ",
                             "USERS,",
                             "CALLS 5 STATUS FINISHED",
                             std::string("CALL 5 STATUS FINISHED\0", 23)};
    for (const std::string& text : ignored)
        Notify(text);
    EXPECT_EQ(handset.Take(), Strings{});
    EXPECT_EQ(skype.Send(), Strings{});
    EXPECT_EQ(Call().callId, "5");
    EXPECT_EQ(bridge.Phase(), Phase::Answering);
    EXPECT_EQ(Call().partnerHandle, "alice");
    EXPECT_TRUE(bridge.Contacts().Empty());
}

} // namespace
} // namespace callbridge_test
