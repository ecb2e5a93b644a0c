// The call's sound from the microphone to the far end and from the far end to the speaker, through the real
// phone with a stand-in for the sound devices (a thread paced like a wave device: a 1 kHz tone as the
// microphone, the frames played kept); the far end's media is the test's own socket. Also when the devices
// run: from the dial to the end of the call, or to the end of the busy tone after a refusal.
#include "tests/phone/PhoneDesk.h"

#include <cmath>
#include <mutex>
#include <thread>

namespace {

using phone::CallEnd;
using phone::Event;
using phonetest::Port;
using phonetest::Wait;

// What the stand-in devices did, kept beyond them: the phone makes and frees them as calls need.
struct Devices {
    std::mutex lock; // guards everything below
    int started = 0;
    int stopped = 0;
    std::vector<int16_t> played; // what the phone gave to play, silence left out
};

class ToneDevices : public phone::Sound {
  public:
    ToneDevices(Handlers handlers, Devices& devices) : handlers(std::move(handlers)), devices(devices) {}
    ~ToneDevices() override { Stop(); }
    void Start(const std::string&, const std::string&) override {
        {
            std::lock_guard<std::mutex> guard(devices.lock);
            ++devices.started;
        }
        running = true;
        thread = std::thread([this] { Run(); });
    }
    void Stop() override {
        if (!thread.joinable())
            return;
        running = false;
        thread.join();
        std::lock_guard<std::mutex> guard(devices.lock);
        ++devices.stopped;
    }
    void DevicesChanged() override {}

  private:
    void Run() {
        HANDLE timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
        LARGE_INTEGER due;
        due.QuadPart = -200000;
        SetWaitableTimer(timer, &due, 20, nullptr, nullptr, FALSE);
        uint32_t sample = 0;
        while (running) {
            WaitForSingleObject(timer, 100);
            phone::Frame microphone;
            for (int16_t& value : microphone)
                value =
                    static_cast<int16_t>(8000 * std::sin(2 * 3.14159265358979 * 1000 * sample++ / 8000.0));
            handlers.captured(microphone);
            phone::Frame speaker;
            if (handlers.nextToPlay(speaker)) {
                std::lock_guard<std::mutex> guard(devices.lock);
                devices.played.insert(devices.played.end(), speaker.begin(), speaker.end());
            }
        }
        CloseHandle(timer);
    }

    const Handlers handlers;
    Devices& devices;
    std::atomic<bool> running{false};
    std::thread thread;
};

class SoundPath : public phonetest::PhoneDesk {
  protected:
    void SetUp() override {
        PhoneDesk::SetUp();
        StartPhone([this](phone::Sound::Handlers handlers) {
            return std::make_unique<ToneDevices>(std::move(handlers), devices);
        });
        phone->Apply(Account());
        ASSERT_TRUE(WaitForRegistration(Event::RegState::Registered)) << ShowEvents();
    }
    int Started() {
        std::lock_guard<std::mutex> guard(devices.lock);
        return devices.started;
    }
    int Stopped() {
        std::lock_guard<std::mutex> guard(devices.lock);
        return devices.stopped;
    }

    Devices devices;
    phonetest::Sipp sipp;
};

TEST_F(SoundPath, TheMicrophonesToneReachesTheFarEndAndTheFarEndsToneIsPlayed) {
    phonetest::MediaSocket farMedia(Port.media);
    ASSERT_TRUE(sipp.StartRegistered(
        "uas_answer_sdp.xml",
        {"-set", "body",
         "v=0\\no=far 1 1 IN IP4 127.0.0.1\\ns=-\\nc=IN IP4 127.0.0.1\\nt=0 0\\nm=audio " +
             std::to_string(farMedia.Port()) + " RTP/AVP 0\\na=rtpmap:0 PCMU/8000"}));
    EXPECT_EQ(Started(), 0) << "the devices ran before a call";
    phone::CallId call = phone->Dial("7477");
    ASSERT_TRUE(WaitForCall(Event::Kind::Established, call)) << ShowEvents();
    EXPECT_EQ(Started(), 1);
    ASSERT_TRUE(farMedia.WaitForPackets(50, 0));
    // The far end's 440 Hz, a second of it, in packets as it would send them.
    for (int i = 0; i < 10; ++i) {
        farMedia.SendRtp(5, 440);
        farMedia.Receive(100);
    }
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            std::lock_guard<std::mutex> guard(devices.lock);
            return devices.played.size() >= 4000;
        },
        Wait))
        << "the far end's sound was not played";
    phone->Hangup(call);
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call)) << ShowEvents();
    EXPECT_TRUE(test::WaitUntil([&] { return Stopped() == 1; }, Wait)) << "the devices ran on after the call";

    std::vector<int16_t> heard;
    for (uint8_t code : farMedia.Sound())
        heard.push_back(phonetest::DecodeUlaw(code));
    EXPECT_NEAR(phonetest::Frequency(heard), 1000, 30) << "the far end did not hear the microphone's tone";
    std::lock_guard<std::mutex> guard(devices.lock);
    EXPECT_NEAR(phonetest::Frequency(devices.played), 440, 20)
        << "the speaker did not play the far end's tone";
}

TEST_F(SoundPath, AfterARefusalTheDevicesRunOnForTheBusyToneThenStop) {
    ASSERT_TRUE(
        sipp.StartRegistered("uas_refuse.xml", {"-set", "code", "486", "-set", "reason", "Busy Here"}));
    phone::CallId call = phone->Dial("7477");
    Event closed;
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call, &closed)) << ShowEvents();
    EXPECT_EQ(closed.end, CallEnd::Busy);
    // The busy tone lasts seconds: far longer than the machine's stalls.
    EXPECT_EQ(Stopped(), 0) << "the devices stopped before the busy tone";
    EXPECT_EQ(Started(), 1);
    EXPECT_TRUE(test::WaitUntil([&] { return Stopped() == 1; }, phone::BusyToneMs + Wait))
        << "the devices ran on after the busy tone";
}

} // namespace
