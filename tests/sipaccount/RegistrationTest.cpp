// SipLink registering the user's account with a real registrar: the handset's Skype light shows whether
// the provider accepted it, and SipLink names the reason when it did not.
#include <winsock2.h>

#include "siplink/account/AccountStore.h"
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::Wait;

class Registering : public sipaccount::ProviderDesk {
  protected:
    void SetUp() override {
        ProviderDesk::SetUp();
        ASSERT_TRUE(program.Start());
    }
};

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

TEST_F(Registering, AStoppedProviderTurnsTheLightOffAndItComesBackByItself) {
    StartSipLink();
    ASSERT_TRUE(WaitForSkypeLight(true)) << ShowLog();
    provider.Stop();
    // The agent refreshes every 9 s; that REGISTER is given up after 32 s.
    EXPECT_TRUE(WaitForState("the provider cannot be reached", 60000)) << ShowLog();
    EXPECT_TRUE(WaitForSkypeLight(false)) << ShowLog();
    ASSERT_TRUE(StartProvider());
    EXPECT_TRUE(WaitForState("Registered with the provider", 45000)) << ShowLog();
    EXPECT_TRUE(WaitForSkypeLight(true)) << ShowLog();
}

TEST_F(Registering, NoAccountStoredIsNamed) {
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
    ASSERT_TRUE(sipLink.StartOwnAgent("c:\\temp\\SipAccountLink.log"));
    EXPECT_TRUE(WaitForState("No SIP account is set up")) << ShowLog();
    EXPECT_FALSE(WaitForSkypeLight(true, 2000)) << ShowLog();
}

} // namespace
