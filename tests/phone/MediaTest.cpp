// The call's sound on the network, with the test's own socket as the far end's media: symmetric RTP,
// garbage and strangers at the media port, a far end gone silent, hold and a moved call, and the keys.
#include "tests/phone/PhoneDesk.h"

#include <ws2tcpip.h>

namespace {

using phone::CallEnd;
using phone::Event;
using phonetest::MediaSocket;
using phonetest::Port;
using phonetest::Wait;

std::string Sdp(int port, const std::string& types = "0 101", const std::string& extra = "") {
    std::string body = "v=0\\no=far 1 1 IN IP4 127.0.0.1\\ns=-\\nc=IN IP4 127.0.0.1\\nt=0 0\\nm=audio " +
                       std::to_string(port) + " RTP/AVP " + types + "\\na=rtpmap:0 PCMU/8000";
    if (types.find("101") != std::string::npos)
        body += "\\na=rtpmap:101 telephone-event/8000\\na=fmtp:101 0-15";
    return body + extra;
}

class CallSound : public phonetest::PhoneDesk {
  protected:
    void SetUp() override {
        PhoneDesk::SetUp();
        RegisterAlice();
    }
    // The phone calls SIPp, which answers with `body` and plays the scenario on.
    phone::CallId Answered(const std::string& scenario, const std::vector<std::string>& arguments) {
        EXPECT_TRUE(sipp.StartRegistered(scenario, arguments)) << sipp.Output();
        phone::CallId call = phone->Dial("7477");
        EXPECT_TRUE(WaitForCall(Event::Kind::Established, call)) << ShowEvents();
        return call;
    }
    // Sends a datagram to the phone's media port from another socket of the test's.
    static void SendFromStranger(const sockaddr_in& phoneAddress, const std::string& bytes) {
        SOCKET stranger = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sendto(stranger, bytes.data(), static_cast<int>(bytes.size()), 0,
               reinterpret_cast<const sockaddr*>(&phoneAddress), sizeof phoneAddress);
        closesocket(stranger);
    }

    phonetest::Sipp sipp;
};

TEST_F(CallSound, OurSoundGoesBackWhereTheFarEndsComesFromNotWhereItsSdpSaid) {
    // The far end's SDP names one port; its packets come from another, as from behind a home router.
    MediaSocket announced(Port.media);
    MediaSocket behindRouter(Port.media + 2);
    phone::CallId call = Answered("uas_answer_sdp.xml", {"-set", "body", Sdp(announced.Port())});
    ASSERT_TRUE(announced.WaitForPackets(5, 0)) << "nothing went to the address of the SDP";
    // The router's port answers the phone's address.
    behindRouter.Aim(announced.PhoneAddress());
    behindRouter.SendRtp(10);
    EXPECT_TRUE(behindRouter.WaitForPackets(25, 0))
        << "the phone did not turn to where the far end's sound came from";
    phone->Hangup(call);
    EXPECT_TRUE(WaitForCall(Event::Kind::Closed, call)) << ShowEvents();
}

TEST_F(CallSound, GarbageAndStrangersAtTheMediaPortChangeNothing) {
    MediaSocket farMedia(Port.media);
    phone::CallId call = Answered("uas_answer_sdp.xml", {"-set", "body", Sdp(farMedia.Port())});
    ASSERT_TRUE(farMedia.WaitForPackets(5, 0));
    farMedia.SendRtp(20);
    const sockaddr_in phoneAddress = farMedia.PhoneAddress();
    // A bounded burst: random bytes, short and long datagrams, RTP of another version, of an unknown
    // type, and well-formed PCMU RTP from a stranger (which must not take the call's sound away).
    std::string valid(12 + 160, '\xFF');
    valid[0] = '\x80';
    valid[1] = 0;
    uint32_t seed = 12345;
    for (int i = 0; i < 300; ++i) {
        seed = seed * 1103515245 + 12345;
        std::string bytes;
        switch (i % 5) {
        case 0:
            bytes.assign(seed % 1400 + 1, static_cast<char>(seed >> 16));
            for (char& b : bytes)
                b = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
            break;
        case 1:
            bytes.assign(1 + seed % 11, '\x80');
            break;
        case 2:
            bytes = valid;
            bytes[0] = '\x40'; // version 1
            break;
        case 3:
            bytes = valid;
            bytes[1] = 96; // a type nobody agreed on
            break;
        case 4:
            bytes = valid; // a stranger's well-formed sound
            bytes[3] = static_cast<char>(i);
            break;
        }
        SendFromStranger(phoneAddress, bytes);
    }
    farMedia.SendRtp(20);
    // The phone still talks to the far end, and only to it.
    EXPECT_TRUE(farMedia.WaitForPackets(25, 0)) << "the call's sound stopped or went elsewhere";
    phone->Hangup(call);
    Event closed;
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call, &closed)) << ShowEvents();
    EXPECT_EQ(closed.end, CallEnd::HungUpHere);
    EXPECT_LE(closed.packetsReceived, 40u) << "garbage or a stranger's packets were taken as the far end's";
    EXPECT_GT(closed.packetsReceived, 0u);
    EXPECT_EQ(sipp.Result(), 0) << sipp.Output();
}

TEST_F(CallSound, AFarEndThatFallsSilentWithoutByeEndsTheCallWithANamedReason) {
    MediaSocket farMedia(Port.media); // takes the phone's sound, sends none
    phone::CallId call = Answered("uas_answer_sdp.xml", {"-set", "body", Sdp(farMedia.Port())});
    Event closed;
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call, &closed, (phone::MediaTimeoutS + 15) * 1000))
        << ShowEvents();
    EXPECT_EQ(closed.end, CallEnd::NoMedia);
    EXPECT_EQ(sipp.Result(), 0) << "the far end got no BYE: " << sipp.Output();
}

TEST_F(CallSound, HoldStopsOurSoundAndAMovedCallIsFollowed) {
    MediaSocket first(Port.media);
    MediaSocket moved(Port.media + 2);
    phone::CallId call =
        Answered("phone_answer_reinvite.xml",
                 {"-set", "body", Sdp(first.Port()), "-set", "talk_ms", "1500", "-set", "hold_body",
                  Sdp(first.Port(), "0 101", "\\na=sendonly"), "-set", "moved_body", Sdp(moved.Port())});
    ASSERT_TRUE(first.WaitForPackets(5, 0));
    // Held: the sound stops (a few packets may still be on their way).
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            int before = first.Count(0);
            first.Receive(300);
            return first.Count(0) == before;
        },
        Wait))
        << "the phone kept sending to a far end that holds the call";
    // Moved: the sound goes to the new address.
    EXPECT_TRUE(moved.WaitForPackets(10, 0)) << "the phone's sound did not follow the moved call";
    phone->Hangup(call);
    Event closed;
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call, &closed)) << ShowEvents();
    EXPECT_EQ(closed.end, CallEnd::HungUpHere) << "the call did not survive the hold";
    EXPECT_EQ(sipp.Result(), 0) << "the far end's re-INVITEs were not answered as expected: "
                                << sipp.Output();
}

TEST_F(CallSound, KeysGoAsTelephoneEventsWhenOffered) {
    MediaSocket farMedia(Port.media);
    phone::CallId call = Answered("uas_answer_sdp.xml", {"-set", "body", Sdp(farMedia.Port())});
    ASSERT_TRUE(farMedia.WaitForPackets(5, 0));
    phone->SendDigit(call, '5');
    phone->SendDigit(call, '#');
    ASSERT_TRUE(farMedia.WaitForPackets(10, 101)) << "no telephone-event packets";
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            farMedia.Receive(100);
            return farMedia.Events().size() >= 2;
        },
        Wait));
    EXPECT_EQ(farMedia.Events(), (std::vector<int>{5, 11}));
    phone->Hangup(call);
    EXPECT_TRUE(WaitForCall(Event::Kind::Closed, call)) << ShowEvents();
}

TEST_F(CallSound, KeysGoAsSipInfoWhenTheFarEndOfferedNoEvents) {
    MediaSocket farMedia(Port.media);
    phone::CallId call =
        Answered("phone_answer_info.xml", {"-set", "body", Sdp(farMedia.Port(), "0"), "-set", "key", "5"});
    ASSERT_TRUE(farMedia.WaitForPackets(5, 0));
    phone->SendDigit(call, '5');
    phone->Hangup(call);
    EXPECT_TRUE(WaitForCall(Event::Kind::Closed, call)) << ShowEvents();
    EXPECT_EQ(sipp.Result(), 0) << "the far end got no INFO with the key: " << sipp.Output();
    EXPECT_EQ(farMedia.Count(101), 0);
}

} // namespace
