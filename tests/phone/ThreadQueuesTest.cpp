// The hand-overs between the threads: events to the window thread, commands and frames to the stack,
// frames and tones to the speaker.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "siplink/phone/EventQueue.h"
#include "siplink/phone/Inbox.h"
#include "siplink/phone/Playout.h"

namespace {

phone::Event Closed(phone::CallId id) {
    phone::Event event;
    event.kind = phone::Event::Kind::Closed;
    event.call = id;
    return event;
}

phone::Frame FrameOf(int16_t value) {
    phone::Frame frame;
    frame.fill(value);
    return frame;
}

TEST(EventQueues, OneNotificationWaitsAtATimeAndNoEventIsLost) {
    int notifications = 0;
    phone::EventQueue queue([&] { return ++notifications, true; });
    queue.Push(Closed(1));
    queue.Push(Closed(2));
    EXPECT_EQ(notifications, 1);
    std::vector<phone::Event> taken = queue.Take();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].call, 1u);
    EXPECT_EQ(taken[1].call, 2u);
    queue.Push(Closed(3));
    EXPECT_EQ(notifications, 2);
}

TEST(EventQueues, AFailedNotificationIsTriedAgainWithTheNextEvent) {
    bool windowThere = false;
    int tries = 0;
    phone::EventQueue queue([&] { return ++tries, windowThere; });
    queue.Push(Closed(1));
    windowThere = true;
    queue.Push(Closed(2));
    queue.Push(Closed(3));
    EXPECT_EQ(tries, 2);
    EXPECT_EQ(queue.Take().size(), 3u);
}

TEST(EventQueues, EventsFromAnotherThreadAllArriveInOrder) {
    std::atomic<int> notifications{0};
    phone::EventQueue queue([&] { return ++notifications, true; });
    const phone::CallId count = 5000;
    std::thread stack([&] {
        for (phone::CallId id = 1; id <= count; ++id)
            queue.Push(Closed(id));
    });
    std::vector<phone::Event> all;
    while (all.size() < count) {
        std::vector<phone::Event> taken = queue.Take();
        all.insert(all.end(), taken.begin(), taken.end());
        std::this_thread::yield();
    }
    stack.join();
    for (phone::CallId id = 1; id <= count; ++id)
        ASSERT_EQ(all[id - 1].call, id);
    EXPECT_TRUE(queue.Take().empty());
}

TEST(Inboxes, CommandsAreKeptAndOldFramesGiveWayToNewOnes) {
    int wakes = 0;
    phone::Inbox inbox([&] { return ++wakes, true; });
    phone::Command dial;
    dial.kind = phone::Command::Kind::Dial;
    dial.target = "42";
    inbox.Push(dial);
    for (int16_t i = 0; i < 15; ++i)
        inbox.PushFrame(FrameOf(i));
    EXPECT_EQ(wakes, 1);
    std::vector<phone::Command> commands;
    std::vector<phone::Frame> frames;
    inbox.Take(commands, frames);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].target, "42");
    ASSERT_EQ(frames.size(), phone::Inbox::MaxFrames);
    EXPECT_EQ(frames.front()[0], 15 - static_cast<int16_t>(phone::Inbox::MaxFrames));
    EXPECT_EQ(frames.back()[0], 14);
    inbox.PushFrame(FrameOf(1));
    EXPECT_EQ(wakes, 2);
}

TEST(Playouts, TheFarEndsSoundPlaysInOrderAndNeverLagsMoreThanAFewFrames) {
    phone::Playout playout(nullptr);
    phone::Frame frame;
    EXPECT_FALSE(playout.Next(frame));
    for (int16_t i = 1; i <= 5; ++i)
        playout.Push(FrameOf(i));
    for (int16_t expected = 3; expected <= 5; ++expected) {
        ASSERT_TRUE(playout.Next(frame));
        EXPECT_EQ(frame[0], expected);
    }
    EXPECT_FALSE(playout.Next(frame));
}

TEST(Playouts, ATonePlaysInsteadOfTheFarEndFromItsStart) {
    std::vector<std::pair<phone::Tone, uint64_t>> asked;
    phone::Playout playout([&](phone::Tone tone, uint64_t sample, phone::Frame& frame) {
        asked.emplace_back(tone, sample);
        frame.fill(7);
        return true;
    });
    playout.Push(FrameOf(1));
    playout.SetTone(phone::Tone::Ringback);
    playout.Push(FrameOf(2)); // the far end's sound while the tone plays is not kept
    phone::Frame frame;
    ASSERT_TRUE(playout.Next(frame));
    ASSERT_TRUE(playout.Next(frame));
    EXPECT_EQ(frame[0], 7);
    playout.SetTone(phone::Tone::Busy);
    ASSERT_TRUE(playout.Next(frame));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0], std::make_pair(phone::Tone::Ringback, uint64_t{0}));
    EXPECT_EQ(asked[1], std::make_pair(phone::Tone::Ringback, uint64_t{phone::FrameSamples}));
    EXPECT_EQ(asked[2], std::make_pair(phone::Tone::Busy, uint64_t{0}));
    playout.SetTone(phone::Tone::None);
    EXPECT_FALSE(playout.Next(frame));
    playout.Push(FrameOf(3));
    ASSERT_TRUE(playout.Next(frame));
    EXPECT_EQ(frame[0], 3);
}

} // namespace
