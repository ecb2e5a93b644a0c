// The calls list, missed calls, redial, the call time and withheld callers, in process: the list itself and
// the keys that reach it through the bridge.
#include "tests/callbridge/Fakes.h"

namespace callbridge_test {
namespace {

Strings Texts(const CallLog& log) {
    Strings texts;
    for (const CallEntry& entry : log.Entries())
        texts.push_back(CallEntryText(entry));
    return texts;
}

TEST(CallLogs, KeepTheLastThirtyNewestFirstAndCountMissedCallsUntilLookedAt) {
    CallLog log;
    log.Add(CallKind::Missed, "alice", "");
    log.Add(CallKind::Dialled, "0049301234", "");
    log.Add(CallKind::Answered, "bob", "Bob Smith");
    log.Add(CallKind::Missed, "carol", "", false); // turned away at the handset: seen
    EXPECT_EQ(Texts(log), (Strings{"!carol", "*Bob Smith", ">0049301234", "!alice"}));
    EXPECT_EQ(log.UnseenMissed(), 1u);
    ASSERT_NE(log.LastDialled(), nullptr);
    EXPECT_EQ(log.LastDialled()->target, "0049301234");

    for (int i = 0; i < 40; ++i)
        log.Add(CallKind::Dialled, std::to_string(i), "");
    ASSERT_EQ(log.Entries().size(), CallLogCapacity);
    EXPECT_EQ(log.Entries().front().target, "39");
    EXPECT_EQ(log.Entries().back().target, "10");
    // The missed call went with the oldest: no count of calls the user can no longer see.
    EXPECT_EQ(log.UnseenMissed(), 0u);
    EXPECT_EQ(log.BrowseFirst()->target, "39");
    EXPECT_EQ(log.BrowseNext()->target, "38");
}

TEST(CallLogs, BrowsingShowsNewestThenOlderWrapsAndClearsTheMissedCount) {
    CallLog log;
    EXPECT_EQ(log.BrowseFirst(), nullptr);
    EXPECT_EQ(log.BrowseNext(), nullptr);
    log.Add(CallKind::Missed, "alice", "");
    log.Add(CallKind::Missed, "", "");
    EXPECT_EQ(log.UnseenMissed(), 2u);
    EXPECT_EQ(CallEntryText(*log.BrowseFirst()), "!Withheld");
    EXPECT_EQ(log.UnseenMissed(), 0u);
    EXPECT_EQ(CallEntryText(*log.BrowseNext()), "!alice");
    EXPECT_EQ(CallEntryText(*log.BrowseNext()), "!Withheld");
}

TEST(CallLogs, CutHugeValuesDropControlCharactersAndNeverSplitAUtf8Character) {
    CallLog log;
    std::string huge(5000, '7');
    log.Add(CallKind::Missed, huge, std::string(300, 'n'));
    EXPECT_EQ(log.Entries()[0].target, std::string(MaxCallTargetLength, '7'));
    EXPECT_EQ(log.Entries()[0].name, std::string(MaxCallNameLength, 'n'));

    log.Add(CallKind::Missed, "bo\tb\r\n\x01", "Al\x7fice");
    EXPECT_EQ(log.Entries()[0].target, "bob");
    EXPECT_EQ(log.Entries()[0].name, "Alice");

    // 63 ASCII bytes, then a two-byte character across the limit: it goes whole.
    std::string name = std::string(MaxCallNameLength - 1, 'a') + "\xC3\xA9" + "z";
    log.Add(CallKind::Answered, "x", name);
    EXPECT_EQ(log.Entries()[0].name, std::string(MaxCallNameLength - 1, 'a'));
    // Whatever was cut, the stored lines read back as the same list.
    CallLog again;
    ASSERT_TRUE(again.Restore(log.Lines(), log.UnseenMissed()));
    EXPECT_EQ(again.Lines(), log.Lines());
    EXPECT_EQ(again.UnseenMissed(), 2u);
}

TEST(CallLogs, ADamagedStoredListIsRefusedWholeAndLeavesTheListEmpty) {
    const Strings damaged[] = {
        {"M\talice\t", "X\tbob\t"},                                 // no such kind
        {"M\talice"},                                               // a field missing
        {"Malice\t\t"},                                             // no separator after the kind
        {"D\t" + std::string(MaxCallTargetLength + 1, '1') + "\t"}, // longer than any entry written
        {"A\tbob\tname\twith tab"},                                 // a separator inside the name
        {"A\tbo\x01"
         "b\t"}, // a control character
        {""},
    };
    for (const Strings& lines : damaged) {
        CallLog log;
        log.Add(CallKind::Dialled, "kept?", "");
        EXPECT_FALSE(log.Restore(lines, 0)) << lines[0];
        EXPECT_TRUE(log.Entries().empty()) << lines[0];
    }
    CallLog log;
    EXPECT_FALSE(log.Restore(Strings(CallLogCapacity + 1, "D\t1\t"), 0))
        << "more entries than the list holds";
    EXPECT_FALSE(log.Restore({"M\talice\t", "A\tbob\t"}, 2))
        << "more unseen missed calls than missed entries";
    EXPECT_EQ(log.UnseenMissed(), 0u);
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_TRUE(log.Restore({"M\talice\t", "A\tbob\tBob"}, 1));
    EXPECT_EQ(Texts(log), (Strings{"!alice", "*Bob"}));
    EXPECT_EQ(log.UnseenMissed(), 1u);
}

TEST(CallLogs, CallTimeShowsMinutesAndSeconds) {
    EXPECT_EQ(CallTimeText(0), "Call 00:00");
    EXPECT_EQ(CallTimeText(65999), "Call 01:05");
    EXPECT_EQ(CallTimeText(100ull * 60 * 1000 + 7000), "Call 100:07");
}

class CallsList : public CallBridgeTest {
  protected:
    void SetUp() override { bridge.SetCallListOwner(&owner); }
    // alice rings and gives up before anyone answers; the handset is released after its pause.
    void MissCall(const std::string& id, const std::string& caller) {
        StartIncoming(id, caller);
        Notify("CALL " + id + " STATUS FINISHED");
        ASSERT_TRUE(Expire(BridgeTimer::Release));
    }
    // A call the handset dialled, answered at the far end and hung up there.
    void DialledCall(const std::string& id, const std::string& keys) {
        Press(keys);
        skype.Send();
        Notify("CALL " + id + " STATUS ROUTING");
        skype.Send();
        Notify("CALL " + id + " STATUS INPROGRESS");
        Notify("CALL " + id + " STATUS FINISHED");
    }

    FakeCallListOwner owner;
};

TEST_F(CallsList, AMissedCallIsCountedOnTheIdleHandsetUntilTheListShowsItAndHashCallsIt) {
    MissCall("71", "alice");
    EXPECT_EQ(handset.Take(), (Strings{"ring alice", "connect", "release", "call light 0"}));
    EXPECT_EQ(owner.storedLines, (Strings{"M\talice\t"}));
    EXPECT_EQ(owner.storedUnseen, 1u);
    // The count follows the pause in which the talk key still answers.
    EXPECT_EQ(timers.running[BridgeTimer::Notice], 2000u);
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    EXPECT_EQ(handset.Take(), Strings{"show 1 missed"});
    MissCall("72", "bob");
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    EXPECT_EQ(handset.Take().back(), "show 2 missed");

    Press("*");
    EXPECT_EQ(bridge.Phase(), Phase::BrowsingCalls);
    EXPECT_EQ(handset.Take(), Strings{"show !bob"});
    EXPECT_EQ(owner.storedUnseen, 0u) << "looking at the list did not clear the count";
    Press("*");
    EXPECT_EQ(handset.Take(), Strings{"show !alice"});
    Press("5"); // digits do nothing in the list
    EXPECT_EQ(handset.Take(), Strings{});
    EXPECT_EQ(skype.Waiting(), Strings{});
    Press("#");
    EXPECT_EQ(skype.Send(), Strings{"CALL alice"});
    EXPECT_EQ(handset.Take(), Strings{"show >alice"});
    EXPECT_EQ(bridge.Phase(), Phase::Dialling);
    EXPECT_EQ(owner.storedLines, (Strings{"D\talice\t", "M\tbob\t", "M\talice\t"}));
}

TEST_F(CallsList, TheEndKeyLeavesTheListForAnIdleHandsetAndTalkCallsTheEntryShown) {
    MissCall("71", "alice");
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    handset.Take();
    Press("*B");
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    EXPECT_EQ(bridge.DialString(), "");
    EXPECT_EQ(handset.Take(), (Strings{"show !alice", "show "}));
    Press("*C");
    EXPECT_EQ(skype.Send(), Strings{"CALL alice"});
}

TEST_F(CallsList, StarAndTalkWithNoCallYetDoNothingAsBefore) {
    Press("*C");
    EXPECT_EQ(handset.Take(), Strings{});
    EXPECT_EQ(skype.Waiting(), Strings{});
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    EXPECT_EQ(owner.changes, 0);
    Notify("CALL 71 STATUS RINGING");
    EXPECT_EQ(skype.Send(), PartyQueries("71")) << "the call was refused";
}

TEST_F(CallsList, ACallRingsThroughTheListAndLeavesIt) {
    MissCall("71", "alice");
    Press("*");
    handset.Take();
    StartIncoming("72", "bob");
    EXPECT_EQ(handset.Take(), Strings{"ring bob"});
    EXPECT_EQ(bridge.Phase(), Phase::Ringing);
    Press("C");
    EXPECT_EQ(skype.Send(), Strings{"set call 72 status inprogress"});
}

TEST_F(CallsList, TalkWhileIdleRedialsTheLastDialledNumberAsItWasCalled) {
    settings.countryCode = "0044";
    DialledCall("101", "#02071234567#");
    MissCall("102", "alice"); // a later incoming call is not what redial calls
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    settings.countryCode = "0033"; // the number is called again as it was, not made again from the digits
    handset.Take();
    Press("C");
    EXPECT_EQ(skype.Send(), Strings{"CALL 00442071234567"});
    EXPECT_EQ(handset.Take(), Strings{"show >00442071234567"});
    EXPECT_EQ(bridge.Phase(), Phase::Dialling);
}

TEST_F(CallsList, TalkJustAfterAnUnansweredCallStoppedRingingDoesNotRedial) {
    DialledCall("101", "#42#");
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    MissCall("102", "alice");
    Press("C");
    EXPECT_EQ(skype.Waiting(), Strings{}) << "a late answer redialled";
    EXPECT_EQ(bridge.Phase(), Phase::RingEnded);
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    Press("C");
    EXPECT_EQ(skype.Send(), Strings{"CALL 42"});
}

TEST_F(CallsList, AnAnsweredCallShowsItsLengthForAWhileThenTheIdleDisplay) {
    StartIncoming("71", "alice");
    Press("C");
    skype.Send();
    owner.now = 200000;
    Notify("CALL 71 STATUS INPROGRESS");
    handset.Take();
    owner.now = 200000 + 3 * 60000 + 25400;
    Notify("CALL 71 STATUS FINISHED");
    Strings seen = handset.Take();
    EXPECT_EQ(seen, (Strings{"release", "call light 0", "show Call 03:25"}));
    EXPECT_EQ(timers.running[BridgeTimer::Notice], 4000u);
    EXPECT_EQ(owner.storedLines, (Strings{"A\talice\t"}));
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    EXPECT_EQ(handset.Take(), Strings{"show "});

    // Hung up on the handset: the length still shows, after the count of a missed call waiting.
    MissCall("72", "bob");
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    DialledCall("73", "#42#");
    (void)handset.Take();
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    EXPECT_EQ(handset.Take(), Strings{"show 1 missed"});
}

TEST_F(CallsList, TheCallTimeWaitsForTheReleaseAndANewCallKeepsTheDisplay) {
    DialledCall("101", "#42#");
    EXPECT_EQ(handset.Take().back(), "show Call 00:00");
    // A call starts before the notice ends: the display stays the call's.
    StartIncoming("102", "bob");
    handset.Take();
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    EXPECT_EQ(handset.Take(), Strings{});
}

TEST_F(CallsList, AWithheldCallerRingsAsWithheldAndCannotBeCalledBack) {
    for (const char* caller : {"", "Anonymous"}) {
        Notify("CALL 71 STATUS RINGING");
        skype.Send();
        Notify(std::string("CALL 71 PARTNER_HANDLE ") + caller);
        EXPECT_EQ(handset.Take(), Strings{"ring Withheld"}) << "[" << caller << "]";
        ASSERT_TRUE(Expire(BridgeTimer::Ring));
        EXPECT_EQ(handset.Take(), Strings{"ring Withheld"});
        Notify("CALL 71 STATUS FINISHED");
        ASSERT_TRUE(Expire(BridgeTimer::Release));
        ASSERT_TRUE(Expire(BridgeTimer::Notice));
        handset.Take();
    }
    EXPECT_EQ(owner.storedLines, (Strings{"M\t\t", "M\t\t"}));
    Press("*#");
    EXPECT_EQ(handset.Take(), Strings{"show !Withheld"});
    EXPECT_EQ(skype.Waiting(), Strings{});
    EXPECT_EQ(bridge.Phase(), Phase::BrowsingCalls);

    Notify("CALL 72 STATUS RINGING");
    skype.Send();
    Notify("CALL 72 PARTNER_HANDLE anonymous");
    Press("C");
    EXPECT_EQ(handset.Take(), (Strings{"ring Withheld", "show *Withheld"}));
}

TEST_F(CallsList, StarKeepsItsMeaningsOutsideTheIdleHandset) {
    MissCall("71", "alice");
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    // Entering a number: '*' adds nothing and opens nothing.
    Press("#4*2#");
    EXPECT_EQ(skype.Send(), Strings{"CALL 42"});
    Notify("CALL 101 STATUS ROUTING");
    skype.Send();
    Notify("CALL 101 STATUS INPROGRESS");
    Press("*");
    EXPECT_EQ(skype.Send(), Strings{"SET CALL 101 DTMF *"});
    EXPECT_EQ(bridge.Phase(), Phase::Talking);
    EXPECT_EQ(owner.storedUnseen, 1u);
}

TEST_F(CallsList, AHugeHandleFromTheClientIsStoredCut) {
    MissCall("71", std::string(3000, 'h'));
    ASSERT_EQ(owner.storedLines.size(), 1u);
    EXPECT_EQ(owner.storedLines[0], "M\t" + std::string(MaxCallTargetLength, 'h') + "\t");
}

TEST_F(CallsList, ARestoredListIsBrowsedAndItsMissedCountShownWhenTheBaseComesIntoService) {
    ASSERT_TRUE(bridge.RestoreCalls({"M\talice\t", "D\t42\t"}, 1));
    bridge.OnDeviceStarted();
    EXPECT_EQ(handset.Take(), Strings{"show 1 missed"});
    Press("C");
    EXPECT_EQ(skype.Send(), Strings{"CALL 42"});
}

TEST_F(CallsList, ACallerWhoIsAContactRingsWithTheContactAndIsListedUnderIt) {
    settings.countryCode = "0049";
    Notify("USERS alice, +49301234567, bob");
    skype.Send();
    // The same number written nationally, internationally with 00, and with dashes.
    for (const char* caller : {"0301234567", "0049301234567", "+49-30-123-4567"}) {
        handset.Take();
        Notify("CALL 71 STATUS RINGING");
        skype.Send();
        Notify(std::string("CALL 71 PARTNER_HANDLE ") + caller);
        EXPECT_EQ(handset.Take(), Strings{"ring +49301234567"}) << caller;
        Notify("CALL 71 STATUS FINISHED");
        ASSERT_TRUE(Expire(BridgeTimer::Release));
    }
    EXPECT_EQ(owner.storedLines[2], "M\t0301234567\t+49301234567") << "the list keeps the number as received";
    handset.Take();
    StartIncoming("72", "ALICE");
    Press("C");
    EXPECT_EQ(handset.Take(), (Strings{"ring alice", "show *alice"}));
    skype.Send();
    Notify("CALL 72 STATUS FINISHED");
    ASSERT_TRUE(Expire(BridgeTimer::Release));

    // Neither a number of another country nor a short extension is taken for a contact.
    for (const char* caller : {"0041301234567", "4567", "carol"}) {
        handset.Take();
        Notify("CALL 73 STATUS RINGING");
        skype.Send();
        Notify(std::string("CALL 73 PARTNER_HANDLE ") + caller);
        EXPECT_EQ(handset.Take(), Strings{std::string("ring ") + caller});
        Notify("CALL 73 STATUS FINISHED");
        ASSERT_TRUE(Expire(BridgeTimer::Release));
    }
    // A typed number that is a contact's is listed under the contact.
    handset.Take();
    Press("#0301234567#");
    EXPECT_EQ(owner.storedLines[0], "D\t0049301234567\t+49301234567");
}

} // namespace
} // namespace callbridge_test
