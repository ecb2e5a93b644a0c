// The call's state table: where each signal takes a call, and why a call ended.
#include <gtest/gtest.h>

#include "siplink/phone/CallState.h"

namespace {

using phone::CallEnd;
using phone::CallSignal;
using phone::CallState;
using phone::Step;

struct Case {
    CallState from;
    CallSignal signal;
    int code;
    CallState to;
    CallEnd end; // when `to` is Terminated
};

TEST(CallStates, OurCallGoesThroughRingingOrEarlyMediaToTheAnswer) {
    const Case cases[] = {
        {CallState::Outgoing, CallSignal::FarRinging, 0, CallState::Ringing, CallEnd::HungUpHere},
        {CallState::Outgoing, CallSignal::FarEarlyMedia, 0, CallState::Early, CallEnd::HungUpHere},
        {CallState::Ringing, CallSignal::FarEarlyMedia, 0, CallState::Early, CallEnd::HungUpHere},
        // A 180 after early media keeps the far end's sound: no ringback over it.
        {CallState::Early, CallSignal::FarRinging, 0, CallState::Early, CallEnd::HungUpHere},
        {CallState::Ringing, CallSignal::FarRinging, 0, CallState::Ringing, CallEnd::HungUpHere},
        {CallState::Outgoing, CallSignal::FarAnswered, 0, CallState::Established, CallEnd::HungUpHere},
        {CallState::Ringing, CallSignal::FarAnswered, 0, CallState::Established, CallEnd::HungUpHere},
        {CallState::Early, CallSignal::FarAnswered, 0, CallState::Established, CallEnd::HungUpHere},
        // Our own Answer means nothing for a call we placed.
        {CallState::Ringing, CallSignal::Answered, 0, CallState::Ringing, CallEnd::HungUpHere},
    };
    for (const Case& c : cases) {
        phone::CallStep step = Step(c.from, c.signal, c.code);
        EXPECT_EQ(step.next, c.to) << Name(c.from) << " + signal " << static_cast<int>(c.signal)
                                   << " went to " << Name(step.next);
    }
}

TEST(CallStates, FinalAnswersNameTheEnd) {
    const Case cases[] = {
        {CallState::Outgoing, CallSignal::FarRefused, 486, CallState::Terminated, CallEnd::Busy},
        {CallState::Ringing, CallSignal::FarRefused, 600, CallState::Terminated, CallEnd::Busy},
        {CallState::Ringing, CallSignal::FarRefused, 603, CallState::Terminated, CallEnd::Declined},
        {CallState::Outgoing, CallSignal::FarRefused, 404, CallState::Terminated, CallEnd::NotFound},
        {CallState::Outgoing, CallSignal::FarRefused, 604, CallState::Terminated, CallEnd::NotFound},
        {CallState::Early, CallSignal::FarRefused, 480, CallState::Terminated, CallEnd::Unavailable},
        {CallState::Ringing, CallSignal::FarRefused, 408, CallState::Terminated, CallEnd::NoAnswer},
        {CallState::Outgoing, CallSignal::FarRefused, 488, CallState::Terminated, CallEnd::NoCommonCodec},
        {CallState::Outgoing, CallSignal::FarRefused, 500, CallState::Terminated, CallEnd::Refused},
        {CallState::Outgoing, CallSignal::FarRefused, 403, CallState::Terminated, CallEnd::Refused},
        {CallState::Ringing, CallSignal::TimedOut, 0, CallState::Terminated, CallEnd::NoAnswer},
        // A refusal can only end a call not yet answered.
        {CallState::Established, CallSignal::FarRefused, 486, CallState::Established, CallEnd::HungUpHere},
    };
    for (const Case& c : cases) {
        phone::CallStep step = Step(c.from, c.signal, c.code);
        EXPECT_EQ(step.next, c.to) << "code " << c.code << " in " << Name(c.from);
        if (c.to == CallState::Terminated) {
            EXPECT_EQ(step.end, c.end) << "code " << c.code << " in " << Name(c.from);
        }
    }
}

TEST(CallStates, TheFarEndsGoingMeansAMissedCallOnlyBeforeTheAnswer) {
    EXPECT_EQ(Step(CallState::Incoming, CallSignal::FarEnded).end, CallEnd::CallerGaveUp);
    EXPECT_EQ(Step(CallState::Established, CallSignal::FarEnded).end, CallEnd::HungUpThere);
    EXPECT_EQ(Step(CallState::Incoming, CallSignal::Answered).next, CallState::Established);
    EXPECT_EQ(Step(CallState::Incoming, CallSignal::HungUpHere).end, CallEnd::HungUpHere);
    // A transaction timing out in a call is a far end that went silent, not "no answer".
    EXPECT_EQ(Step(CallState::Established, CallSignal::TimedOut).end, CallEnd::Failed);
    EXPECT_EQ(Step(CallState::Incoming, CallSignal::TimedOut).end, CallEnd::NoAnswer);
}

TEST(CallStates, SilenceEndsOnlyAnAnsweredCall) {
    EXPECT_EQ(Step(CallState::Established, CallSignal::NoMedia).end, CallEnd::NoMedia);
    EXPECT_EQ(Step(CallState::Established, CallSignal::NoMedia).next, CallState::Terminated);
    for (CallState waiting : {CallState::Outgoing, CallState::Ringing, CallState::Early, CallState::Incoming})
        EXPECT_EQ(Step(waiting, CallSignal::NoMedia).next, waiting) << Name(waiting);
}

TEST(CallStates, AnEndedCallStaysEndedWhateverComesLate) {
    for (CallSignal late : {CallSignal::FarAnswered, CallSignal::FarRinging, CallSignal::FarEarlyMedia,
                            CallSignal::FarEnded, CallSignal::HungUpHere, CallSignal::NoMedia,
                            CallSignal::Answered, CallSignal::TimedOut, CallSignal::Stopped})
        EXPECT_EQ(Step(CallState::Terminated, late, 486).next, CallState::Terminated);
}

TEST(CallStates, EveryLiveCallEndsWhenHungUpStoppedOrItsSoundIsUnusable) {
    for (CallState live : {CallState::Outgoing, CallState::Ringing, CallState::Early, CallState::Incoming,
                           CallState::Established}) {
        EXPECT_EQ(Step(live, CallSignal::HungUpHere).end, CallEnd::HungUpHere) << Name(live);
        EXPECT_EQ(Step(live, CallSignal::Stopped).end, CallEnd::Stopped) << Name(live);
        EXPECT_EQ(Step(live, CallSignal::NoCommonCodec).end, CallEnd::NoCommonCodec) << Name(live);
        EXPECT_EQ(Step(live, CallSignal::Malformed).end, CallEnd::Malformed) << Name(live);
        EXPECT_EQ(Step(live, CallSignal::Failed).next, CallState::Terminated) << Name(live);
    }
}

TEST(CallStates, RingbackPlaysOnlyWhileTheFarEndRingsWithoutItsOwnSound) {
    EXPECT_TRUE(phone::RingbackIn(CallState::Ringing));
    EXPECT_FALSE(phone::RingbackIn(CallState::Early));
    EXPECT_FALSE(phone::RingbackIn(CallState::Outgoing));
    EXPECT_FALSE(phone::RingbackIn(CallState::Established));
}

TEST(CallStates, TheBusyToneFollowsARefusedCallOfOursNotAConversationNorOurOwnHangup) {
    EXPECT_TRUE(phone::BusyToneAfter(CallState::Ringing, CallEnd::Busy));
    EXPECT_TRUE(phone::BusyToneAfter(CallState::Outgoing, CallEnd::NotFound));
    EXPECT_TRUE(phone::BusyToneAfter(CallState::Early, CallEnd::NoAnswer));
    EXPECT_FALSE(phone::BusyToneAfter(CallState::Ringing, CallEnd::HungUpHere));
    EXPECT_FALSE(phone::BusyToneAfter(CallState::Established, CallEnd::HungUpThere));
    EXPECT_FALSE(phone::BusyToneAfter(CallState::Established, CallEnd::Failed));
    EXPECT_FALSE(phone::BusyToneAfter(CallState::Incoming, CallEnd::CallerGaveUp));
}

TEST(CallStates, EndsAreSaidInPlainWordsWithTheProvidersCode) {
    EXPECT_EQ(phone::Describe(CallEnd::Busy, 486, "Busy Here"), "the far end is busy (486 Busy Here)");
    EXPECT_EQ(phone::Describe(CallEnd::HungUpThere, 0, ""), "hung up by the far end");
    EXPECT_EQ(phone::Describe(CallEnd::Failed, 0, "Network is unreachable"),
              "the call failed here (Network is unreachable)");
    EXPECT_NE(phone::Describe(CallEnd::NoMedia, 0, "").find("20 seconds"), std::string::npos);
}

} // namespace
