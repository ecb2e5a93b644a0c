// The account's pieces that need no agent: the line and configuration the agent is given, the password
// kept out of logs and sealed in the registry, the registration's states and pauses, the restart pauses.
#include <windows.h>

#include <gtest/gtest.h>

#include "siplink/account/Account.h"
#include "siplink/account/AccountStore.h"
#include "siplink/account/Registration.h"
#include "siplink/account/RestartPause.h"

namespace {

Account Alice() {
    Account account;
    account.address = "alice@sip.example.net";
    account.password = "s3cr=t!";
    return account;
}

TEST(AccountLineTest, CarriesTheAccountTheRegistrarAndManualAnswering) {
    Account account = Alice();
    account.displayName = "Alice Smith";
    account.registrar = "proxy.example.net:5070";
    account.transport = "tcp";
    account.registerSeconds = 120;
    EXPECT_EQ(AccountLine(account),
              "\"Alice Smith\" <sip:alice@sip.example.net;transport=tcp>;auth_pass=s3cr=t!;"
              "outbound=\"sip:proxy.example.net:5070;transport=tcp\";regint=120;pubint=0;mwi=no;"
              "answermode=manual;audio_codecs=PCMU,PCMA");
    account.displayName.clear();
    account.registrar.clear();
    EXPECT_EQ(AccountLine(account).find("<sip:alice@sip.example.net;transport=tcp>;auth_pass="), 0u);
    EXPECT_EQ(AccountLine(account).find("outbound"), std::string::npos);
}

TEST(AccountLineTest, APasswordNeverReachesALog) {
    std::string frame = "{\"command\":\"uanew\",\"params\":\"" + AccountLine(Alice()) + "\"}";
    std::string hidden = HidePassword(frame);
    EXPECT_EQ(hidden.find("s3cr=t!"), std::string::npos) << hidden;
    EXPECT_NE(hidden.find("auth_pass=***;regint"), std::string::npos) << hidden;
    // The agent's reply echoes the line, quoted in JSON; a second line in the same text is hidden too.
    std::string reply = "Creating UA for <sip:a@b>;auth_pass=one\\nand <sip:c@d>;auth_pass=two";
    EXPECT_EQ(HidePassword(reply), "Creating UA for <sip:a@b>;auth_pass=***\\nand <sip:c@d>;auth_pass=***");
    EXPECT_EQ(HidePassword("nothing secret"), "nothing secret");
}

TEST(AccountLineTest, AnAccountTheAgentCannotTakeIsNamed) {
    EXPECT_EQ(Alice().Problem(), "");
    Account account = Alice();
    account.address = "";
    EXPECT_NE(account.Problem(), "");
    for (const char* address : {"alice", "@example.net", "alice@", "sip:alice@example.net", "al ice@x"}) {
        account.address = address;
        EXPECT_NE(account.Problem().find("user@domain"), std::string::npos) << address;
    }
    account = Alice();
    account.password = "pa;ss";
    EXPECT_NE(account.Problem().find("password"), std::string::npos);
    account = Alice();
    account.transport = "sctp";
    EXPECT_NE(account.Problem().find("UDP, TCP or TLS"), std::string::npos);
    account = Alice();
    account.registrar = "proxy>x";
    EXPECT_NE(account.Problem().find("registrar"), std::string::npos);
}

TEST(AgentConfigTest, ListensForControlOnLoopbackOnlyAndLoadsTheModulesOfItsDevices) {
    Account account = Alice();
    account.speakDevice = "winwave,USB Phone";
    account.ringDevice = "winwave,Speakers";
    AgentSetup setup;
    setup.controlPort = 50123;
    setup.sipPort = 50200;
    setup.modulePath = "C:\\baresip";
    setup.moduleSuffix = ".dll";
    std::string text = AgentConfigText(account, setup);
    for (const char* line :
         {"\nctrl_tcp_listen 127.0.0.1:50123\n", "\nsip_listen 0.0.0.0:50200\n",
          "\naudio_player winwave,USB Phone\n", "\naudio_source winwave,USB Phone\n",
          "\naudio_alert winwave,Speakers\n", "\nmodule winwave.dll\n", "\nmodule g711.dll\n",
          "\nmodule_app ctrl_tcp.dll\n", "\nmodule_app menu.dll\n", "\nmodule_path C:\\baresip\n"})
        EXPECT_NE(text.find(line), std::string::npos) << "missing" << line << "in:\n" << text;
    EXPECT_EQ(text.find("winwave.dll\nmodule winwave.dll"), std::string::npos) << "a module loaded twice:\n"
                                                                               << text;
    EXPECT_EQ(text.find(account.password), std::string::npos) << "the password in the agent's file";
}

TEST(AgentConfigTest, NoDeviceChosenMeansTheSystemDefaultAndExpertLinesComeFirst) {
    Account account = Alice();
    account.extraConfig = "sip_listen 127.0.0.1:5999\nrtp_ports 10000-10009";
    AgentSetup setup;
    setup.defaultDevice = "alsa,default";
    std::string text = AgentConfigText(account, setup);
    EXPECT_NE(text.find("\naudio_player alsa,default\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\naudio_alert alsa,default\n"), std::string::npos) << text;
    // The agent takes the first line of a name.
    EXPECT_LT(text.find("sip_listen 127.0.0.1:5999"), text.find("sip_listen 0.0.0.0"));
    EXPECT_NE(text.find("\nrtp_ports 10000-10009\n"), std::string::npos) << text;
}

TEST(AccountStoreTest, TheSettingsComeBackAndThePasswordIsStoredSealed) {
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
    StoredSettings settings;
    settings.account = Alice();
    settings.account.registrar = "proxy.example.net";
    settings.account.displayName = "Alice";
    settings.account.transport = "tls";
    settings.account.speakDevice = "winwave,USB Phone";
    settings.account.registerSeconds = 90;
    settings.agentPath = "C:\\baresip\\baresip.exe";
    ASSERT_TRUE(SaveSettings(settings));

    StoredSettings loaded = LoadSettings();
    EXPECT_EQ(loaded.account.address, "alice@sip.example.net");
    EXPECT_EQ(loaded.account.password, "s3cr=t!");
    EXPECT_EQ(loaded.account.registrar, "proxy.example.net");
    EXPECT_EQ(loaded.account.displayName, "Alice");
    EXPECT_EQ(loaded.account.transport, "tls");
    EXPECT_EQ(loaded.account.speakDevice, "winwave,USB Phone");
    EXPECT_EQ(loaded.account.registerSeconds, 90);
    EXPECT_EQ(loaded.agentPath, "C:\\baresip\\baresip.exe");

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, AccountKeyPath, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    char stored[1024];
    DWORD size = sizeof stored, type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "Password", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(std::string(stored, size).find("s3cr=t!"), std::string::npos) << "the password lies in clear";
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
}

TEST(AccountStoreTest, ForeignOrMissingValuesLeaveTheDefaults) {
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
    EXPECT_EQ(LoadSettings().account.address, "");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, AccountKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Password", 0, REG_BINARY, reinterpret_cast<const BYTE*>("not sealed"), 10);
    RegSetValueExA(key, "RegisterSeconds", 0, REG_SZ, reinterpret_cast<const BYTE*>("60"), 3);
    DWORD tooShort = 1;
    RegSetValueExA(key, "Transport", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&tooShort), sizeof tooShort);
    RegCloseKey(key);
    StoredSettings loaded = LoadSettings();
    EXPECT_EQ(loaded.account.password, "");
    EXPECT_EQ(loaded.account.registerSeconds, 300);
    EXPECT_EQ(loaded.account.transport, "udp");
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
}

TEST(RegistrationTest, TheLineIsOfferedOnlyOnceTheProviderAccepts) {
    Registration registration;
    EXPECT_FALSE(registration.Registered());
    registration.Requested(0);
    registration.OnEvent("REGISTERING", "", 1);
    EXPECT_EQ(registration.Current(), Registration::State::Registering);
    EXPECT_FALSE(registration.Registered());
    registration.OnEvent("REGISTER_OK", "200 OK", 2);
    EXPECT_TRUE(registration.Registered());
    // A refresh keeps the line; its failure takes it away.
    registration.OnEvent("REGISTERING", "", 3);
    EXPECT_TRUE(registration.Registered());
    registration.OnEvent("REGISTER_FAIL", "Connection timed out", 4);
    EXPECT_FALSE(registration.Registered());
    EXPECT_EQ(registration.Current(), Registration::State::Unreachable);
    EXPECT_NE(registration.Describe().find("cannot be reached (Connection timed out)"), std::string::npos)
        << registration.Describe();
}

TEST(RegistrationTest, EachRefusalIsNamedWithItsCode) {
    struct Case {
        const char* param;
        int code;
        const char* words;
    } cases[] = {{"401 Unauthorized", 401, "refused the password (401 Unauthorized)"},
                 {"403 Forbidden", 403, "refused the password (403 Forbidden)"},
                 {"404 Not Found", 404, "does not know this user (404 Not Found)"},
                 {"488 Not Acceptable Here", 488, "refused the account (488 Not Acceptable Here)"},
                 {"503 Service Unavailable", 503, "cannot be reached (503 Service Unavailable)"},
                 {"", 0, "cannot be reached (no answer)"},
                 {"999x garbage", 0, "cannot be reached (999x garbage)"}};
    for (const Case& c : cases) {
        Registration registration;
        registration.Requested(0);
        registration.OnEvent("REGISTER_FAIL", c.param, 10);
        EXPECT_EQ(registration.Code(), c.code) << c.param;
        EXPECT_NE(registration.Describe().find(c.words), std::string::npos) << registration.Describe();
    }
}

TEST(RegistrationTest, RetriesComeAfterAGrowingPauseSlowerForARefusal) {
    Registration unreachable;
    unreachable.Requested(0);
    unreachable.OnEvent("REGISTER_FAIL", "Connection timed out", 1000);
    EXPECT_FALSE(unreachable.RetryDue(2999));
    EXPECT_TRUE(unreachable.RetryDue(3000));
    unreachable.Requested(3000);
    EXPECT_FALSE(unreachable.RetryDue(100000)) << "a retry under way is not due again";
    unreachable.OnEvent("REGISTER_FAIL", "Connection timed out", 4000);
    EXPECT_FALSE(unreachable.RetryDue(7999));
    EXPECT_TRUE(unreachable.RetryDue(8000));
    // Success starts the pauses afresh.
    unreachable.Requested(8000);
    unreachable.OnEvent("REGISTER_OK", "200 OK", 8001);
    unreachable.OnEvent("REGISTER_FAIL", "Connection timed out", 9000);
    EXPECT_TRUE(unreachable.RetryDue(11000));

    Registration refused;
    refused.Requested(0);
    refused.OnEvent("REGISTER_FAIL", "403 Forbidden", 0);
    EXPECT_FALSE(refused.RetryDue(59999));
    EXPECT_TRUE(refused.RetryDue(60000));
    for (int i = 0; i < 20; ++i) {
        refused.Requested(0);
        refused.OnEvent("REGISTER_FAIL", "403 Forbidden", 0);
    }
    EXPECT_FALSE(refused.RetryDue(599999));
    EXPECT_TRUE(refused.RetryDue(600000)) << "the pause stops growing at ten minutes";
}

TEST(RegistrationTest, WithoutAnAccountOrAgentEventsChangeNothingAndTheReasonIsNamed) {
    Registration registration;
    registration.NoAccount("No SIP address is set.");
    registration.OnEvent("REGISTER_OK", "200 OK", 0);
    EXPECT_FALSE(registration.Registered());
    EXPECT_NE(registration.Describe().find("No SIP address is set."), std::string::npos);
    EXPECT_NE(registration.Describe().find("SipLink.exe --settings"), std::string::npos);
    registration.NoAgent();
    EXPECT_NE(registration.Describe().find("baresip.exe beside SipLink.exe"), std::string::npos);
    EXPECT_FALSE(registration.RetryDue(1000000));
}

TEST(RestartPauseTest, GrowsWithQuickEndsAndStartsAfreshAfterAGoodRun) {
    RestartPause pause;
    EXPECT_EQ(pause.AfterEnd(0, 100), 1000u);
    EXPECT_EQ(pause.AfterEnd(1100, 1200), 2000u);
    EXPECT_EQ(pause.AfterEnd(3200, 3300), 4000u);
    for (int i = 0; i < 10; ++i)
        pause.AfterEnd(0, 10);
    EXPECT_EQ(pause.AfterEnd(0, 10), 60000u);
    EXPECT_EQ(pause.AfterEnd(0, 60000), 1000u);
}

} // namespace
