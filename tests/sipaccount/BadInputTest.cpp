// A registrar that answers nothing, or garbage, leaves SipLink in a named state without a line; nothing
// hangs: the account window's state follows, and a good account afterwards registers.
#include <winsock2.h>

#include "siplink/account/AccountStore.h"
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::Wait;

class BadInput : public sipaccount::ProviderDesk {
  protected:
    // The account's registrar is SIPp playing this scenario.
    void RegistrarIsSipp(const std::string& scenario) {
        Account account = LoadAccount();
        account.registrar = "127.0.0.1:" + std::to_string(sipaccount::Port.sipp);
        ASSERT_TRUE(SaveAccount(account));
        ASSERT_TRUE(registrar.Start(scenario)) << registrar.Output();
    }
    sipaccount::SippFarEnd registrar;
};

TEST_F(BadInput, ARegistrarThatAnswersGarbageIsNamedAndTheLineStaysOff) {
    RegistrarIsSipp("reg_garbage.xml");
    StartSipLink();
    // The phone drops what it cannot read and gives the REGISTER up after its time-out (32 s).
    EXPECT_TRUE(WaitForState("the provider cannot be reached", 50000)) << ShowLog();
    EXPECT_FALSE(WaitForSkypeLight(true, 1000));
}

TEST_F(BadInput, ARegistrarThatAnswersNothingIsNamedAndARightOneAfterwardsRegisters) {
    Account account = LoadAccount();
    account.registrar = "127.0.0.1:" + std::to_string(sipaccount::Port.sipp); // nobody there
    ASSERT_TRUE(SaveAccount(account));
    StartSipLink();
    EXPECT_TRUE(WaitForState("the provider cannot be reached", 50000)) << ShowLog();
    EXPECT_FALSE(WaitForSkypeLight(true, 1000));
    // The account corrected (as the account window does it) registers at once.
    account.registrar.clear();
    ASSERT_TRUE(SaveAccount(account));
    HWND main = FindWindowA("SipLinkMain", nullptr);
    ASSERT_NE(main, nullptr);
    PostMessageA(main, RegisterWindowMessageA("DectBridgeSipLinkAccountChanged"), 0, 0);
    EXPECT_TRUE(WaitForSkypeLight(true)) << ShowLog();
}

} // namespace
