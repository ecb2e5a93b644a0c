// SipLink registering the user's account with a real registrar: the handset's Skype light shows whether
// the provider accepted it, and SipLink names the reason when it did not.
#include <winsock2.h>

#include "siplink/account/AccountStore.h"
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::Wait;

class Registering : public sipaccount::ProviderDesk {};

TEST_F(Registering, TheRightPasswordTurnsTheSkypeLightOn) {
    StartSipLink();
    EXPECT_TRUE(WaitForState("Registered with the provider")) << ShowLog();
    EXPECT_TRUE(WaitForSkypeLight(true)) << "the program did not attach to SipLink" << ShowLog();
    EXPECT_EQ(sipLink.Log().find("alicepw"), std::string::npos) << "the password in the log" << ShowLog();
}

TEST_F(Registering, AWrongPasswordKeepsTheLightOffAndIsNamed) {
    StoreAccount("not-alices");
    StartSipLink();
    EXPECT_TRUE(WaitForState("the provider refused the password (403 Forbidden)")) << ShowLog();
    EXPECT_FALSE(WaitForSkypeLight(true, 3000)) << "a line was offered without registration" << ShowLog();
    EXPECT_EQ(sipLink.Log().find("not-alices"), std::string::npos) << "the password in the log" << ShowLog();
}

TEST_F(Registering, AUserTheProviderDoesNotKnowKeepsTheLightOffAndIsNamed) {
    Account account = LoadAccount();
    account.address = "nobody@127.0.0.1:" + std::to_string(sipaccount::Port.provider);
    ASSERT_TRUE(SaveAccount(account));
    StartSipLink();
    EXPECT_TRUE(WaitForState("Not registered: the provider refused")) << ShowLog();
    EXPECT_FALSE(WaitForSkypeLight(true, 3000)) << "a line was offered without registration" << ShowLog();
}

TEST_F(Registering, AStoppedProviderTurnsTheLightOffAndItComesBackByItself) {
    StartSipLink();
    ASSERT_TRUE(WaitForSkypeLight(true)) << ShowLog();
    provider.Stop();
    // The phone refreshes before the 10 s expiry; that REGISTER is given up after 32 s.
    EXPECT_TRUE(WaitForState("the provider cannot be reached", 60000)) << ShowLog();
    EXPECT_TRUE(WaitForSkypeLight(false)) << ShowLog();
    ASSERT_TRUE(StartProvider());
    EXPECT_TRUE(WaitForState("Registered with the provider", 45000)) << ShowLog();
    EXPECT_TRUE(WaitForSkypeLight(true)) << ShowLog();
}

// The provider holds users whose passwords have letters beyond ASCII or characters a text format might
// reserve (tools/sip/provider/kamailio.cfg): each registers as a plain one does.
TEST_F(Registering, EveryPasswordAProviderHandsOutRegisters) {
    const std::pair<const char*, const char*> users[] = {{"odd1", "M\xC3\xBCller-4f"}, {"odd2", "with blank"},
                                                         {"odd3", "semi;colon"},       {"odd4", "quote\"d"},
                                                         {"odd5", "back\\slash"},      {"odd6", "<angle>"}};
    for (const auto& [user, password] : users) {
        Account account = LoopbackAccount(sipaccount::Port.provider);
        account.address = std::string(user) + "@127.0.0.1:" + std::to_string(sipaccount::Port.provider);
        account.password = password;
        ASSERT_TRUE(SaveAccount(account));
        StartSipLink();
        EXPECT_TRUE(WaitForState("Registered with the provider")) << user << ShowLog();
        EXPECT_EQ(sipLink.Log().find(password), std::string::npos) << "the password in the log" << ShowLog();
        sipLink.Stop();
    }
}

TEST_F(Registering, NoAccountStoredIsNamed) {
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
    StartSipLink();
    EXPECT_TRUE(WaitForState("No SIP account is set up")) << ShowLog();
    EXPECT_FALSE(WaitForSkypeLight(true, 2000)) << ShowLog();
}

} // namespace
