// The small translations at the phone's edge: keys to RFC 4733 events and SIP INFO, G.711 both ways, what
// the user typed to SIP addresses, and the provider-only rule.
#include <gtest/gtest.h>

#include <cmath>

#include "siplink/phone/Dtmf.h"
#include "siplink/phone/G711.h"
#include "siplink/phone/HostPort.h"
#include "siplink/phone/SipUri.h"
#include "siplink/phone/SourceFilter.h"

namespace {

TEST(Keys, EveryPhoneKeyHasItsEventAndNothingElseHasOne) {
    const std::string keys = "0123456789*#ABCD";
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(phone::EventOf(keys[i]), static_cast<int>(i)) << keys[i];
    EXPECT_EQ(phone::EventOf('d'), 15);
    for (char other : {'E', 'x', ' ', '\0', '+', '/'})
        EXPECT_EQ(phone::EventOf(other), -1) << static_cast<int>(other);
}

TEST(Keys, SipInfoCarriesTheSignalAndItsDuration) {
    EXPECT_EQ(phone::InfoBody('5'), "Signal=5\r\nDuration=200\r\n");
    EXPECT_EQ(phone::InfoBody('#'), "Signal=#\r\nDuration=200\r\n");
    EXPECT_EQ(phone::InfoBody('a'), "Signal=A\r\nDuration=200\r\n");
    EXPECT_EQ(phone::InfoBody('x'), "");
}

TEST(G711, SamplesComeBackWithinTheCodecsStep) {
    for (int value = -32768; value <= 32767; value += 7) {
        int16_t sample = static_cast<int16_t>(value);
        // The step grows with the magnitude: 1/16 of it and a little at the bottom.
        double allowed = std::abs(value) / 16.0 + 20;
        EXPECT_NEAR(phone::UlawToLinear(phone::LinearToUlaw(sample)), value, allowed) << value;
        EXPECT_NEAR(phone::AlawToLinear(phone::LinearToAlaw(sample)), value, allowed) << value;
    }
}

TEST(G711, SilenceAndTheKnownCodesAreTheRecommendations) {
    EXPECT_EQ(phone::LinearToUlaw(0), 0xFF);
    EXPECT_EQ(phone::LinearToAlaw(0), 0xD5);
    EXPECT_EQ(phone::UlawToLinear(0xFF), 0);
    EXPECT_EQ(phone::UlawToLinear(0x00), -32124);
    EXPECT_EQ(phone::UlawToLinear(0x80), 32124);
    EXPECT_EQ(phone::AlawToLinear(0xD5), 8);
    EXPECT_EQ(phone::AlawToLinear(0x55), -8);
    EXPECT_EQ(phone::AlawToLinear(0xAA), 32256);
}

TEST(Addresses, HostAndPortAsTheUserTypesThem) {
    phone::HostPort plain = phone::SplitHostPort("sip.example.net");
    EXPECT_TRUE(plain.valid);
    EXPECT_EQ(plain.host, "sip.example.net");
    EXPECT_EQ(plain.port, 0);
    phone::HostPort withPort = phone::SplitHostPort("127.0.0.1:5090");
    EXPECT_TRUE(withPort.valid);
    EXPECT_EQ(withPort.host, "127.0.0.1");
    EXPECT_EQ(withPort.port, 5090);
    phone::HostPort v6 = phone::SplitHostPort("[2001:db8::1]:5061");
    EXPECT_TRUE(v6.valid);
    EXPECT_EQ(v6.host, "2001:db8::1");
    EXPECT_EQ(v6.port, 5061);
    for (const char* bad : {"", ":5060", "host:", "host:0", "host:65536", "host:50x0", "a b", "[::1",
                            "user@host", "[[x]", "a]b"})
        EXPECT_FALSE(phone::SplitHostPort(bad).valid) << bad;
    EXPECT_TRUE(phone::IsNumericIPv4("192.0.2.7"));
    EXPECT_FALSE(phone::IsNumericIPv4("192.0.2"));
    EXPECT_FALSE(phone::IsNumericIPv4("192.0.2.256"));
    EXPECT_FALSE(phone::IsNumericIPv4("sip.example.net"));
}

TEST(Addresses, DialledTargetsBecomeSipAddresses) {
    EXPECT_EQ(phone::TargetUri("004930123456", "sip.example.net"), "sip:004930123456@sip.example.net");
    EXPECT_EQ(phone::TargetUri("+4930123456", "127.0.0.1:5090"), "sip:+4930123456@127.0.0.1:5090");
    EXPECT_EQ(phone::TargetUri("sip:bob@example.org;transport=tcp", "x"),
              "sip:bob@example.org;transport=tcp");
    EXPECT_EQ(phone::TargetUri("bob@example.org", "x"), "sip:bob@example.org");
    EXPECT_EQ(phone::TargetUri("Jürgen Smith", "x"), "sip:J%C3%BCrgen%20Smith@x");
    EXPECT_EQ(phone::TargetUri("", "x"), "");
    EXPECT_EQ(phone::AccountUri("alice", "127.0.0.1:5090"), "sip:alice@127.0.0.1:5090");
    // A user part cannot end the address early.
    EXPECT_EQ(phone::EscapeUser("a@b:c<d>"), "a%40b%3Ac%3Cd%3E");
}

TEST(Sources, OnlyTheProviderStartsSomethingUnlessTheUserAllowsAll) {
    phone::SourceFilter filter;
    filter.AddProvider("192.0.2.7");
    EXPECT_TRUE(filter.Takes("192.0.2.7", false));
    EXPECT_FALSE(filter.Takes("198.51.100.1", false)) << "a stranger's INVITE rang";
    EXPECT_TRUE(filter.Takes("198.51.100.1", true)) << "a call's BYE from the far end itself was dropped";
    filter.Forget();
    EXPECT_FALSE(filter.Takes("192.0.2.7", false));
    filter.SetProviderOnly(false);
    EXPECT_TRUE(filter.Takes("198.51.100.1", false));
}

} // namespace
