// Skype's notifications, sent by the peer program to the main window made in the test process; the
// handset side is seen through a recording link.
#include "skype/CallRecord.h"
#include "tests/common/SkypeTestSupport.h"

namespace skype_test {
namespace {

using Strings = std::vector<std::string>;

class SkypeNotifications : public SkypeDialog {
  protected:
    void SetUp() override {
        SkypeDialog::SetUp();
        GiveBase();
        // The far end of an outgoing call never answers by itself; the tests say when.
        ASSERT_TRUE(StartAndAttach("/answer never"));
        TakeHandset();
    }

    // An incoming call whose caller is known: the ring and the partner query have gone through.
    void StartIncoming(const std::string& id, const std::string& caller) {
        ASSERT_TRUE(peer.Control("ring " + id + " " + caller));
        ASSERT_TRUE(peer.WaitForLine("SEND", "CALL " + id + " STATUS RINGING"));
        ASSERT_EQ(Queue(), Strings{"GET CALL " + id + " PARTNER_HANDLE"});
        Step();
        ASSERT_TRUE(dialog->currentCall);
        ASSERT_EQ(dialog->currentCall->partnerHandle, caller);
    }

    const CallRecord& Call() const { return *dialog->currentCall; }
};

TEST_F(SkypeNotifications, IncomingCallAnsweredOnTheHandsetAndEndedByTheFarEnd) {
    StartIncoming("71", "alice");
    EXPECT_EQ(Call().callId, "71");
    EXPECT_EQ(Call().outgoing, 0);
    EXPECT_EQ(Call().status, "RINGING");
    EXPECT_EQ(TakeHandset(), Strings{"ring alice"});
    EXPECT_TRUE(TimerArmed(TIMER_RING)) << "the ring repeat was not armed";

    dialog->dialState = InCall; // the answer key took the call
    dialog->dialString = "5";
    ASSERT_TRUE(Notify("CALL 71 STATUS INPROGRESS"));
    EXPECT_EQ(Call().status, "INPROGRESS");
    EXPECT_EQ(dialog->dialString, "");
    EXPECT_EQ(TakeHandset(), Strings{"call light 1"}) << "the handset had answered: no display, no connect";

    ASSERT_TRUE(peer.Control("hangup 71"));
    ASSERT_TRUE(peer.WaitForLine("SEND", "CALL 71 STATUS FINISHED"));
    EXPECT_EQ(TakeHandset(), (Strings{"release", "call light 0"}));
    EXPECT_FALSE(dialog->currentCall);
    EXPECT_EQ(dialog->dialState, Idle);
    std::string trace = TraceText();
    for (const char* line :
         {"CALL 71 STATUS RINGING", "CALL 71 PARTNER_HANDLE alice", "CALL 71 STATUS FINISHED"})
        EXPECT_NE(trace.find(std::string("\t[SKYPE -> MAIN] : ") + line + "\r\n"), std::string::npos)
            << trace;
}

TEST_F(SkypeNotifications, CallAnsweredAtThePcBringsTheHandsetIntoIt) {
    StartIncoming("72", "bob");
    TakeHandset();
    ASSERT_TRUE(Notify("CALL 72 STATUS INPROGRESS"));
    EXPECT_EQ(TakeHandset(), (Strings{"show *bob", "connect", "call light 1"}));
    EXPECT_EQ(dialog->dialState, InCall);
}

TEST_F(SkypeNotifications, OutgoingCallShowsThePartnerAndIsReleasedAtItsEnd) {
    dialog->dialState = InCall; // the handset dialled
    dialog->QueueSkypeCommand("CALL carol");
    Step();
    ASSERT_TRUE(dialog->currentCall) << "no call record after " << Describe(peer.Texts("SEND"));
    std::string id = Call().callId;
    EXPECT_EQ(Call().outgoing, 1);
    EXPECT_EQ(Call().status, "ROUTING");
    EXPECT_EQ(Queue(), Strings{"GET CALL " + id + " PARTNER_HANDLE"});
    dialog->dialString = "carol";
    Step();
    ASSERT_TRUE(peer.WaitForLine("SEND", "CALL " + id + " STATUS RINGING"));
    EXPECT_EQ(Call().partnerHandle, "carol");
    EXPECT_EQ(Call().status, "ROUTING") << "the far end ringing changes no status";
    EXPECT_EQ(dialog->dialString, "") << "the far end's RINGING empties the dial string";
    EXPECT_EQ(TakeHandset(), Strings{"show >carol"});
    EXPECT_FALSE(TimerArmed(TIMER_RING)) << "an outgoing call does not ring the handset";

    ASSERT_TRUE(Notify("CALL " + id + " STATUS INPROGRESS"));
    EXPECT_EQ(TakeHandset(), Strings{"call light 1"});
    ASSERT_TRUE(Notify("CALL " + id + " STATUS FINISHED"));
    EXPECT_EQ(TakeHandset(), (Strings{"release", "call light 0"}));
    EXPECT_EQ(dialog->dialState, Idle);
    EXPECT_FALSE(dialog->currentCall);
}

TEST_F(SkypeNotifications, RingingCallIsRefusedWhileTheHandsetEntersANumberOrBrowses) {
    for (LONG busy : {EnteringNumber, BrowsingContacts}) {
        dialog->dialState = busy;
        ASSERT_TRUE(Notify("CALL 5 STATUS RINGING"));
        EXPECT_FALSE(dialog->currentCall) << "state " << busy;
        EXPECT_EQ(Queue(), Strings{"SET CALL 5 STATUS FINISHED"}) << "state " << busy;
        EXPECT_EQ(dialog->dialState, busy);
        dialog->skypeCommands.clear();
    }
    EXPECT_TRUE(TakeHandset().empty());
}

TEST_F(SkypeNotifications, SecondCallIsRefusedWithItsOwnIdAndTheFirstGoesOn) {
    StartIncoming("5", "alice");
    TakeHandset();
    ASSERT_TRUE(Notify("CALL 6 STATUS RINGING"));
    ASSERT_TRUE(Notify("CALL 7 STATUS ROUTING"));
    ASSERT_TRUE(Notify("CALL 6 STATUS FINISHED"));
    ASSERT_TRUE(Notify("CALL 6 PARTNER_HANDLE mallory"));
    EXPECT_EQ(Queue(), (Strings{"SET CALL 6 STATUS FINISHED", "SET CALL 7 STATUS FINISHED"}));
    EXPECT_EQ(Call().callId, "5");
    EXPECT_EQ(Call().status, "RINGING");
    EXPECT_EQ(Call().partnerHandle, "alice");
    EXPECT_TRUE(TakeHandset().empty());
}

TEST_F(SkypeNotifications, StatusesBetweenInProgressOnlyEmptyTheDialString) {
    StartIncoming("5", "alice");
    dialog->dialState = InCall;
    ASSERT_TRUE(Notify("CALL 5 STATUS INPROGRESS"));
    TakeHandset();
    for (const char* status : {"ONHOLD", "INPROGRESS", "LOCALHOLD"}) {
        dialog->dialString = "12";
        ASSERT_TRUE(Notify(std::string("CALL 5 STATUS ") + status));
        EXPECT_EQ(dialog->dialString, "") << status;
        EXPECT_EQ(Call().status, "INPROGRESS") << status;
    }
    EXPECT_TRUE(TakeHandset().empty()) << Describe(TakeHandset());
}

TEST_F(SkypeNotifications, FinishedAfterTheHandsetHungUpLeavesTheHandsetAlone) {
    StartIncoming("5", "alice");
    dialog->dialState = InCall;
    ASSERT_TRUE(Notify("CALL 5 STATUS INPROGRESS"));
    TakeHandset();
    dialog->dialState = Idle; // the end key hung up and asked Skype to finish
    ASSERT_TRUE(Notify("CALL 5 STATUS FINISHED"));
    EXPECT_FALSE(dialog->currentCall);
    EXPECT_EQ(TakeHandset(), Strings{"call light 0"}) << "no connect, no release";
    EXPECT_EQ(dialog->dialState, Idle);
}

TEST_F(SkypeNotifications, CallerWhoGivesUpReleasesTheRingingHandsetUnlessTheHandsetRefusedIt) {
    StartIncoming("8", "alice");
    TakeHandset();
    ASSERT_TRUE(Notify("CALL 8 STATUS FINISHED"));
    EXPECT_EQ(TakeHandset(), (Strings{"connect", "release", "call light 0"})) << "the handset kept ringing";
    EXPECT_FALSE(dialog->currentCall);

    StartIncoming("9", "bob");
    TakeHandset();
    dialog->HandleHandsetKey('B'); // refused on the handset, which is idle again
    ASSERT_TRUE(Notify("CALL 9 STATUS FINISHED"));
    EXPECT_EQ(TakeHandset(), Strings{"call light 0"}) << "no connect, no release";
}

TEST_F(SkypeNotifications, CallThatNeverWentInProgressIsConnectedAndReleasedHalfASecondLater) {
    for (const char* status : {"MISSED", "FINISHED"}) {
        StartIncoming(status, "alice"); // a call id of its own for each round
        dialog->dialState = std::string(status) == "FINISHED" ? InCall : Idle;
        size_t first = handset.size();
        ASSERT_TRUE(Notify(std::string("CALL ") + status + " STATUS " + status));
        EXPECT_EQ(TakeHandset(), (Strings{"ring alice", "connect", "release", "call light 0"})) << status;
        ASSERT_GE(handset.size(), first + 2);
        DWORD pause = handset[first + 1].ms - handset[first].ms;
        EXPECT_GE(pause, 480u) << status << ": release came " << pause << " ms after connect";
        EXPECT_EQ(dialog->dialState, Idle) << status;
        EXPECT_FALSE(dialog->currentCall) << status;
    }
}

TEST_F(SkypeNotifications, PartnerHandleKeepsItsFirstWordAndRingsOnlyForIncomingCalls) {
    ASSERT_TRUE(Notify("CALL 5 STATUS RINGING"));
    ASSERT_TRUE(Notify("CALL 5 PARTNER_HANDLE a b"));
    EXPECT_EQ(Call().partnerHandle, "a");
    EXPECT_EQ(TakeHandset(), Strings{"ring a"});

    // While ringing the repeat rings again and stays armed; once in progress it stops.
    dialog->OnRingTimer();
    EXPECT_EQ(TakeHandset(), Strings{"ring a"});
    EXPECT_TRUE(TimerArmed(TIMER_RING));
    dialog->dialState = InCall;
    ASSERT_TRUE(Notify("CALL 5 STATUS INPROGRESS"));
    TakeHandset();
    dialog->OnRingTimer();
    EXPECT_TRUE(TakeHandset().empty());
    EXPECT_FALSE(TimerArmed(TIMER_RING));
}

TEST_F(SkypeNotifications, ErrorsOtherThan24ShowTheNumberAndReleaseTheHandset) {
    StartIncoming("5", "alice");
    TakeHandset();
    dialog->dialState = InCall;
    dialog->dialString = "99";
    ASSERT_TRUE(Notify("ERROR 24 some text"));
    EXPECT_TRUE(TakeHandset().empty());
    EXPECT_EQ(dialog->dialString, "99");

    ASSERT_TRUE(Notify("ERROR 68 Access denied"));
    EXPECT_EQ(TakeHandset(), (Strings{"show 68", "call light 0", "release"}));
    EXPECT_EQ(dialog->dialString, "");
    EXPECT_EQ(dialog->dialState, InCall) << "an error leaves the dialling state";
    EXPECT_EQ(Call().callId, "5") << "an error leaves the call record";
}

TEST_F(SkypeNotifications, ContactListIsSortedByByteValueAndEachContactIsAskedFor) {
    ASSERT_TRUE(Notify("USERS bob, Alice, carol"));
    Strings handles;
    for (const ContactRecord& contact : dialog->contacts) {
        handles.push_back(contact.handle);
        EXPECT_EQ(contact.onlineStatus, "");
    }
    EXPECT_EQ(handles, (Strings{"Alice", "bob", "carol"}));
    EXPECT_EQ(Queue(), (Strings{"GET USER Alice ONLINESTATUS", "GET USER bob ONLINESTATUS",
                                "GET USER carol ONLINESTATUS"}));
    EXPECT_TRUE(TimerArmed(TIMER_CONTACTS));

    // Later answers follow the contacts already there; upper case, then shorter names come first. Empty
    // pieces (doubled or trailing blanks, a lone comma) name nobody.
    dialog->skypeCommands.clear();
    ASSERT_TRUE(Notify("USERS b, ab,  a, B, , A, a "));
    handles.clear();
    for (const ContactRecord& contact : dialog->contacts)
        handles.push_back(contact.handle);
    EXPECT_EQ(handles, (Strings{"Alice", "bob", "carol", "A", "B", "a", "a", "ab", "b"}))
        << Describe(handles);
    EXPECT_EQ(Queue().size(), 6u) << Describe(Queue());
    EXPECT_TRUE(TimerArmed(TIMER_CONTACTS));

    dialog->skypeCommands.clear();
    ASSERT_TRUE(Notify("USERS"));
    EXPECT_EQ(dialog->contacts.size(), 9u);
    EXPECT_TRUE(Queue().empty());
    EXPECT_FALSE(TimerArmed(TIMER_CONTACTS)) << "a list without names does not arm the refresh";
}

TEST_F(SkypeNotifications, OnlineStatusGoesToTheFirstContactOfThatHandle) {
    ASSERT_TRUE(Notify("USERS bob, bob, carol"));
    ASSERT_TRUE(Notify("USER dave ONLINESTATUS ONLINE"));
    ASSERT_TRUE(Notify("USER bob ONLINESTATUS AWAY"));
    ASSERT_TRUE(Notify("USER carol FULLNAME Carol"));
    Strings statuses;
    for (const ContactRecord& contact : dialog->contacts)
        statuses.push_back(contact.handle + "=" + contact.onlineStatus);
    EXPECT_EQ(statuses, (Strings{"bob=AWAY", "bob=", "carol="}));
}

TEST_F(SkypeNotifications, LoggedOutStatusAsksForTheUserStatusAgain) {
    ASSERT_TRUE(Notify("USERSTATUS ONLINE"));
    ASSERT_TRUE(Notify("CONNSTATUS ONLINE"));
    EXPECT_TRUE(Queue().empty()) << Describe(Queue());
    ASSERT_TRUE(Notify("CONNSTATUS LOGGEDOUT"));
    ASSERT_TRUE(Notify("USERSTATUS LOGGEDOUT"));
    EXPECT_EQ(Queue(), (Strings{"GET USERSTATUS", "GET USERSTATUS"}));
}

TEST_F(SkypeNotifications, LowerCaseShortAndMalformedNotificationsAreIgnored) {
    StartIncoming("5", "alice");
    TakeHandset();
    dialog->dialString = "7";
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
                             "ERROR",
                             "USER",
                             "USER bob",
                             "USER bob ONLINESTATUS",
                             "USERSTATUS",
                             "CONNSTATUS",
                             "",
                             "USERS,",
                             "CALLS 5 STATUS FINISHED"};
    for (const std::string& text : ignored)
        ASSERT_TRUE(Notify(text)) << text;
    ASSERT_TRUE(peer.Control("notify-null"));
    ASSERT_TRUE(peer.WaitForLine("SEND", "(no data)"));

    EXPECT_TRUE(TakeHandset().empty());
    EXPECT_TRUE(Queue().empty()) << Describe(Queue());
    EXPECT_EQ(Call().callId, "5");
    EXPECT_EQ(Call().status, "RINGING");
    EXPECT_EQ(Call().partnerHandle, "alice");
    EXPECT_EQ(dialog->dialString, "7");
    EXPECT_TRUE(dialog->contacts.empty());
    std::string trace = TraceText();
    for (const std::string& text : ignored)
        EXPECT_NE(trace.find("\t[SKYPE -> MAIN] : " + text + "\r\n"), std::string::npos) << text;
}

TEST_F(SkypeNotifications, TextWithoutZeroByteIsCutAtTheEndOfItsData) {
    ASSERT_TRUE(peer.Control("notify-unterminated CALL 9 STATUS RINGING"));
    ASSERT_TRUE(peer.WaitForLine("SEND", "CALL 9 STATUS RINGING"));
    ASSERT_TRUE(dialog->currentCall);
    EXPECT_EQ(Call().callId, "9");
    EXPECT_EQ(Call().status, "RINGING") << "the last word was read past its data";
    EXPECT_NE(TraceText().find("\t[SKYPE -> MAIN] : CALL 9 STATUS RINGING\r\n"), std::string::npos)
        << TraceText();
}

TEST_F(SkypeNotifications, NotificationsFromAnotherWindowAreNeitherTracedNorInterpreted) {
    HWND stranger = CreateWindowExA(0, "STATIC", "stranger", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_NE(stranger, nullptr);
    std::string text = "CALL 8 STATUS RINGING";
    COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), &text[0]};
    SendMessageA(dialog->Handle(), WM_COPYDATA, reinterpret_cast<WPARAM>(stranger),
                 reinterpret_cast<LPARAM>(&data));
    SendMessageA(dialog->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    DestroyWindow(stranger);
    EXPECT_FALSE(dialog->currentCall);
    EXPECT_TRUE(Queue().empty());
    EXPECT_EQ(TraceText().find("CALL 8"), std::string::npos) << TraceText();
}

} // namespace
} // namespace skype_test
