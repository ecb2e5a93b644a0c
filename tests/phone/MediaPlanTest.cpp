// What the phone makes of the far end's session description: the codec, the keys' way, hold.
#include <gtest/gtest.h>

#include "siplink/phone/MediaPlan.h"

namespace {

using phone::Codec;
using phone::RemoteMedia;

RemoteMedia Offer(std::vector<phone::SdpFormat> formats) {
    RemoteMedia remote;
    remote.formats = std::move(formats);
    remote.hasAddress = true;
    return remote;
}

TEST(MediaPlans, TheFarEndsFirstCodecOfOursIsSpokenWithItsOwnPayloadTypes) {
    phone::MediaPlan plan =
        Plan(Offer({{9, "G722", 8000}, {8, "PCMA", 8000}, {0, "PCMU", 8000}, {96, "telephone-event", 8000}}));
    EXPECT_EQ(plan.codec, Codec::Pcma);
    EXPECT_EQ(plan.audioPt, 8);
    EXPECT_EQ(plan.eventPt, 96);
    EXPECT_TRUE(plan.send);
    EXPECT_TRUE(plan.receive);
    EXPECT_TRUE(plan.timed);
}

TEST(MediaPlans, StaticTypesWithoutRtpmapAndAnyLetterCaseAreKnown) {
    EXPECT_EQ(Plan(Offer({{0, "", 0}})).codec, Codec::Pcmu);
    EXPECT_EQ(Plan(Offer({{8, "", 0}})).codec, Codec::Pcma);
    EXPECT_EQ(Plan(Offer({{100, "pcmu", 8000}})).audioPt, 100);
    // PCMU at another rate is not ours.
    EXPECT_EQ(Plan(Offer({{97, "PCMU", 16000}})).codec, Codec::None);
}

TEST(MediaPlans, NoCommonCodecMeansNothingGoesEitherWay) {
    phone::MediaPlan plan =
        Plan(Offer({{9, "G722", 8000}, {18, "G729", 8000}, {101, "telephone-event", 8000}}));
    EXPECT_EQ(plan.codec, Codec::None);
    EXPECT_EQ(plan.eventPt, -1);
    EXPECT_FALSE(plan.send);
    EXPECT_FALSE(plan.receive);
    EXPECT_EQ(Plan(Offer({})).codec, Codec::None);
}

TEST(MediaPlans, WithoutTelephoneEventTheKeysGoAsSipInfo) {
    EXPECT_EQ(Plan(Offer({{0, "PCMU", 8000}})).eventPt, -1);
    // Events at another rate than the codec's are not usable with it.
    EXPECT_EQ(Plan(Offer({{0, "PCMU", 8000}, {102, "telephone-event", 48000}})).eventPt, -1);
}

TEST(MediaPlans, HoldStopsOurSoundAndTheSilenceTimer) {
    RemoteMedia sendOnly = Offer({{0, "PCMU", 8000}});
    sendOnly.weMaySend = false; // the far end said sendonly: it holds us, maybe with music
    phone::MediaPlan plan = Plan(sendOnly);
    EXPECT_FALSE(plan.send);
    EXPECT_TRUE(plan.receive);
    EXPECT_FALSE(plan.timed);

    RemoteMedia inactive = Offer({{0, "PCMU", 8000}});
    inactive.weMaySend = inactive.weMayReceive = false;
    EXPECT_FALSE(Plan(inactive).send);
    EXPECT_FALSE(Plan(inactive).receive);

    RemoteMedia oldStyle = Offer({{0, "PCMU", 8000}});
    oldStyle.hasAddress = false; // c=0.0.0.0: never send there
    EXPECT_FALSE(Plan(oldStyle).send);
    EXPECT_FALSE(Plan(oldStyle).timed);

    RemoteMedia recvOnly = Offer({{0, "PCMU", 8000}});
    recvOnly.weMayReceive = false;
    EXPECT_TRUE(Plan(recvOnly).send);
    EXPECT_FALSE(Plan(recvOnly).timed);
}

} // namespace
