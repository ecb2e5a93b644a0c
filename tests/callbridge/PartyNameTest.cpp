// The other party's display name beside its handle: the handset rings and shows the name, the calls list
// keeps the handle and shows the name, and a call back dials the handle. A client without display names
// (an error, or no answer) leaves the handle shown, as before.
#include "tests/callbridge/Fakes.h"

namespace callbridge_test {
namespace {

class PartyNames : public CallBridgeTest {
  protected:
    void SetUp() override { bridge.SetCallListOwner(&owner); }
    // A call rings from handle; the client names the caller (when name is given) and the call is missed.
    void Missed(const std::string& id, const std::string& handle, const char* name) {
        Notify("CALL " + id + " STATUS RINGING");
        ASSERT_EQ(skype.Send(), PartyQueries(id));
        Notify("CALL " + id + " PARTNER_HANDLE " + handle);
        if (name)
            Notify("CALL " + id + " PARTNER_DISPNAME " + name);
        ASSERT_TRUE(Expire(BridgeTimer::Ring));
        Notify("CALL " + id + " STATUS MISSED");
        ASSERT_TRUE(Expire(BridgeTimer::Release));
        ASSERT_TRUE(Expire(BridgeTimer::Notice));
    }
    FakeCallListOwner owner;
};

TEST_F(PartyNames, TheNameIsShownAndListedTheHandleIsCalledBack) {
    Notify("USERS alice");
    skype.Send();
    Missed("71", "+4930123", "Far End");
    EXPECT_EQ(handset.Take(), (Strings{"ring +4930123", "ring Far End", "ring Far End", "connect", "release",
                                       "call light 0", "show 1 missed"}));
    // A contact is shown as the contact, whatever the client calls it; a withheld caller as withheld; blanks
    // alone are no name.
    Missed("72", "alice", "Alice Smith");
    Missed("73", "anonymous", "Anonymous");
    Missed("74", "+4930999", " ");
    Strings rings;
    for (const std::string& step : handset.Take())
        if (step.rfind("ring ", 0) == 0)
            rings.push_back(step);
    EXPECT_EQ(rings, (Strings{"ring alice", "ring alice", "ring Withheld", "ring Withheld", "ring +4930999",
                              "ring +4930999"}));
    EXPECT_EQ(owner.storedLines,
              (Strings{"M\t+4930999\t", "M\t\t", "M\talice\t", "M\t+4930123\tFar End"}));

    Press("****");
    EXPECT_EQ(handset.Take().back(), "show !Far End");
    Press("#");
    EXPECT_EQ(skype.Send(), Strings{"CALL +4930123"}) << "the call back dials the name";
    handset.Take();

    // A routed call shows the handle dialled, then the name; so does an answered one.
    Notify("CALL 75 STATUS ROUTING");
    skype.Send();
    Notify("CALL 75 PARTNER_HANDLE +4930123");
    Notify("CALL 75 PARTNER_DISPNAME Far End");
    Notify("CALL 75 STATUS INPROGRESS");
    EXPECT_EQ(handset.Take(), (Strings{"show >+4930123", "show >Far End", "call light 1"}));
}

TEST_F(PartyNames, AClientWithoutDisplayNamesLeavesTheHandleShownAndIsNoFault) {
    // An error in answer to the name: the handset still rings and is not released.
    Notify("CALL 81 STATUS RINGING");
    Notify("CALL 81 PARTNER_HANDLE bob");
    Notify("ERROR 12 Invalid call property");
    ASSERT_TRUE(Expire(BridgeTimer::Ring));
    EXPECT_EQ(handset.Take(), (Strings{"ring bob", "ring bob"}));
    // An error after that is an error again.
    Press("C");
    Notify("ERROR 68 failed");
    EXPECT_EQ(handset.Take(), (Strings{"show *bob", "show 68", "call light 0", "release"}));
    Notify("CALL 81 STATUS FINISHED");
    ASSERT_TRUE(Expire(BridgeTimer::Release));
    handset.Take();

    // No answer at all, or an empty name: the handle, in the list too.
    for (const char* answer : {"", "CALL 82 PARTNER_DISPNAME", "CALL 82 PARTNER_DISPNAME "}) {
        Notify("CALL 82 STATUS RINGING");
        Notify("CALL 82 PARTNER_HANDLE carol");
        if (*answer)
            Notify(answer);
        Press("C");
        Notify("CALL 82 STATUS INPROGRESS");
        Notify("CALL 82 STATUS FINISHED");
        EXPECT_EQ(handset.Take(), (Strings{"ring carol", "show *carol", "call light 1", "release",
                                           "call light 0", "show Call 00:00"}))
            << "[" << answer << "]";
        EXPECT_EQ(owner.storedLines.front(), "A\tcarol\t");
    }
}

} // namespace
} // namespace callbridge_test
