// The account in process: what the window refuses and what it lets through (any password a provider hands
// out), what the phone is given, what the registry keeps (sealed, in UTF-16, and what earlier versions
// stored), the registration's states and pauses, and its words on the icon's tip.
#include <windows.h>

#include <gtest/gtest.h>

#include "siplink/TrayTip.h"
#include "siplink/account/Account.h"
#include "siplink/account/AccountStore.h"
#include "siplink/account/Registration.h"

namespace {

using RegState = phone::Event::RegState;

// Passwords providers hand out: letters beyond ASCII, and every character a text format might reserve.
const char* const OddPasswords[] = {"M\xC3\xBCller-4f",
                                    "with blank",
                                    "semi;colon",
                                    "quote\"d",
                                    "back\\slash",
                                    "<angle>",
                                    "\xE2\x82\xAC\xF0\x9F\x93\x9E",
                                    "a'b`c$d&e|f=g%h"};

Account Alice() {
    Account account;
    account.address = "alice@sip.example.net";
    account.password = "s3cr=t!";
    return account;
}

// An account with every field away from its default.
Account EveryField() {
    Account account;
    account.address = "4930123456@sip.example.net:5070";
    account.authUser = "u-4930123456";
    account.password = "M\xC3\xBCller-4f \";\\<>";
    account.registrar = "proxy.example.net";
    account.displayName = "J\xC3\xBCrgen M\xC3\xBCller";
    account.transport = "tcp";
    account.registerSeconds = 120;
    account.providerOnly = false;
    account.speaker = "Lautsprecher (USB Audio Ger\xC3\xA4t)";
    account.microphone = "DECT_base_mic";
    return account;
}

TEST(Account, AnyPasswordIsTakenAndWhatCannotWorkIsNamed) {
    EXPECT_EQ(Alice().Problem(), "");
    for (const char* password : OddPasswords) {
        Account account = Alice();
        account.password = password;
        EXPECT_EQ(account.Problem(), "") << password;
    }
    Account account = Alice();
    account.address = "";
    EXPECT_NE(account.Problem(), "");
    for (const char* address :
         {"alice", "@example.net", "alice@", "sip:alice@example.net", "al ice@x", "a;b@x"}) {
        account.address = address;
        EXPECT_NE(account.Problem().find("user@domain"), std::string::npos) << address;
    }
    struct Case {
        void (*change)(Account&);
        const char* words;
    } cases[] = {
        {[](Account& a) { a.registrar = "proxy>x"; }, "registrar"},
        {[](Account& a) { a.displayName = "Al \"Bo\""; }, "display name"},
        {[](Account& a) { a.displayName = "Al\r\nVia: x"; }, "display name"},
        {[](Account& a) { a.authUser = "a\\b"; }, "authentication user"},
        {[](Account& a) { a.transport = "tls"; }, "TLS is not available"},
        {[](Account& a) { a.transport = "sctp"; }, "UDP or TCP"},
        {[](Account& a) { a.registerSeconds = 9; }, "registration interval"},
        {[](Account& a) { a.registerSeconds = 86401; }, "registration interval"},
    };
    for (const Case& c : cases) {
        Account changed = Alice();
        c.change(changed);
        EXPECT_NE(changed.Problem().find(c.words), std::string::npos) << c.words << ": " << changed.Problem();
    }
}

TEST(Account, ThePhoneIsGivenEveryPartAsTyped) {
    Account account = EveryField();
    phone::Settings settings = PhoneSettings(account, "49");
    EXPECT_EQ(settings.user, "4930123456");
    EXPECT_EQ(settings.domain, "sip.example.net:5070");
    EXPECT_EQ(settings.authUser, "u-4930123456");
    EXPECT_EQ(settings.password, "M\xC3\xBCller-4f \";\\<>")
        << "the password's bytes must reach the phone unchanged";
    EXPECT_EQ(settings.proxy, "proxy.example.net");
    EXPECT_EQ(settings.displayName, "J\xC3\xBCrgen M\xC3\xBCller");
    EXPECT_EQ(settings.transport, "tcp");
    EXPECT_EQ(settings.registerSeconds, 120u);
    EXPECT_FALSE(settings.providerOnly);
    EXPECT_EQ(settings.speaker, "Lautsprecher (USB Audio Ger\xC3\xA4t)");
    EXPECT_EQ(settings.microphone, "DECT_base_mic");
    EXPECT_EQ(settings.countryCode, "49");
    EXPECT_TRUE(Account().providerOnly) << "only the provider may ring, unless the user says otherwise";
}

class AccountStore : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath); }
    static HKEY Open() {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, AccountKeyPath, 0, nullptr, 0,
                                  KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
};

TEST_F(AccountStore, EveryFieldComesBackAndEachPasswordIsKeptSealedByteForByte) {
    Account account = EveryField();
    ASSERT_TRUE(SaveAccount(account));
    Account loaded = LoadAccount();
    EXPECT_EQ(loaded.address, account.address);
    EXPECT_EQ(loaded.authUser, account.authUser);
    EXPECT_EQ(loaded.password, account.password);
    EXPECT_EQ(loaded.registrar, account.registrar);
    EXPECT_EQ(loaded.displayName, account.displayName);
    EXPECT_EQ(loaded.transport, "tcp");
    EXPECT_EQ(loaded.registerSeconds, 120);
    EXPECT_FALSE(loaded.providerOnly);
    EXPECT_EQ(loaded.speaker, account.speaker);
    EXPECT_EQ(loaded.microphone, account.microphone);

    // Other programs read the registry in UTF-16: the name is stored as the characters it is.
    wchar_t name[64] = L"";
    DWORD size = sizeof name;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\DectBridge\\SipLink", L"DisplayName", RRF_RT_REG_SZ,
                           nullptr, name, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"J\u00FCrgen M\u00FCller");

    for (const char* password : OddPasswords) {
        account.password = password;
        ASSERT_TRUE(SaveAccount(account)) << password;
        EXPECT_EQ(LoadAccount().password, password);
        HKEY key = Open();
        char stored[2048];
        DWORD length = sizeof stored, type = 0;
        ASSERT_EQ(RegQueryValueExA(key, "Password", nullptr, &type, reinterpret_cast<BYTE*>(stored), &length),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_EQ(type, DWORD(REG_BINARY));
        std::string sealed(stored, length);
        EXPECT_EQ(sealed.find(password), std::string::npos) << "the password lies in clear: " << password;
    }
}

TEST_F(AccountStore, WhatEarlierVersionsStoredIsReadAsTheUserTypedIt) {
    HKEY key = Open();
    // The window of earlier versions stored ANSI text and sealed the ANSI password; its devices were the
    // agent's "winwave,NAME" and it knew no authentication user, interval or provider switch.
    RegSetValueExA(key, "Address", 0, REG_SZ, reinterpret_cast<const BYTE*>("alice@sip.example.net"), 22);
    RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>("J\xFCrgen"), 7);
    RegSetValueExA(key, "SpeakDevice", 0, REG_SZ, reinterpret_cast<const BYTE*>("winwave,USB Phone"), 18);
    RegSetValueExA(key, "RingDevice", 0, REG_SZ, reinterpret_cast<const BYTE*>("winwave,Speakers"), 17);
    RegSetValueExA(key, "AgentPath", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\baresip.exe"), 15);
    std::string sealed;
    ASSERT_TRUE(ProtectPassword("M\xFCller-4f", sealed));
    RegSetValueExA(key, "Password", 0, REG_BINARY, reinterpret_cast<const BYTE*>(sealed.data()),
                   static_cast<DWORD>(sealed.size()));
    RegCloseKey(key);
    Account loaded = LoadAccount();
    EXPECT_EQ(loaded.address, "alice@sip.example.net");
    EXPECT_EQ(loaded.displayName, "J\xC3\xBCrgen");
    EXPECT_EQ(loaded.password, "M\xC3\xBCller-4f") << "an ANSI password must reach the provider as UTF-8";
    EXPECT_EQ(loaded.speaker, "USB Phone");
    EXPECT_EQ(loaded.microphone, "");
    EXPECT_EQ(loaded.authUser, "");
    EXPECT_EQ(loaded.registerSeconds, 300);
    EXPECT_TRUE(loaded.providerOnly);
    EXPECT_EQ(loaded.Problem(), "");
}

TEST_F(AccountStore, ForeignOrMissingValuesLeaveTheDefaults) {
    EXPECT_EQ(LoadAccount().address, "");
    HKEY key = Open();
    RegSetValueExA(key, "Password", 0, REG_BINARY, reinterpret_cast<const BYTE*>("not sealed"), 10);
    RegSetValueExA(key, "RegisterSeconds", 0, REG_SZ, reinterpret_cast<const BYTE*>("60"), 3);
    DWORD number = 1;
    RegSetValueExA(key, "Transport", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegSetValueExA(key, "ProviderOnly", 0, REG_BINARY, reinterpret_cast<const BYTE*>("\0\0\0\0"), 4);
    number = 5;
    RegSetValueExA(key, "RegisterSeconds", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
    Account loaded = LoadAccount();
    EXPECT_EQ(loaded.password, "");
    EXPECT_EQ(loaded.registerSeconds, 300) << "an interval out of bounds";
    EXPECT_EQ(loaded.transport, "udp");
    EXPECT_TRUE(loaded.providerOnly);
}

TEST(CountryCode, ThePanelsCodeIsReadAsItsDigitsWithoutAnInternationalPrefix) {
    for (const auto& [stored, digits] : {std::pair<const char*, const char*>{"49", "49"},
                                         {"+49", "49"},
                                         {"0049", "49"},
                                         {"", ""},
                                         {" 4 4", "44"}}) {
        RegSetKeyValueA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", "CountryCode", REG_SZ, stored,
                        static_cast<DWORD>(strlen(stored) + 1));
        EXPECT_EQ(LoadCountryCode(), digits) << stored;
    }
}

Registration Registered() {
    Registration registration;
    registration.Begin(0);
    registration.OnPhone(RegState::Registered, 200, "OK", 1);
    return registration;
}

Registration FailedWith(int code, const std::string& reason) {
    Registration registration;
    registration.Begin(0);
    registration.OnPhone(code ? RegState::Refused : RegState::Unreachable, code, reason, 10);
    return registration;
}

TEST(RegistrationState, OnlyTheProvidersYesOffersTheLineAndEachNoIsNamedWithItsCode) {
    Registration registration;
    registration.Begin(0);
    registration.OnPhone(RegState::Registering, 0, "", 1);
    EXPECT_EQ(registration.Current(), Registration::State::Registering);
    registration.OnPhone(RegState::Registered, 200, "OK", 2);
    EXPECT_TRUE(registration.Registered());
    registration.OnPhone(RegState::Registering, 0, "", 3);
    EXPECT_TRUE(registration.Registered()) << "a refresh under way took the line";
    registration.OnPhone(RegState::Unregistered, 0, "", 4);
    EXPECT_FALSE(registration.Registered());

    struct Case {
        int code;
        const char* reason;
        const char* words;
    } cases[] = {{401, "Unauthorized", "refused the password (401 Unauthorized)"},
                 {403, "Forbidden", "refused the password (403 Forbidden)"},
                 {404, "Not Found", "does not know this user (404 Not Found)"},
                 {488, "Not Acceptable Here", "refused the account (488 Not Acceptable Here)"},
                 {503, "Service Unavailable", "cannot be reached (503 Service Unavailable)"},
                 {408, "Request Timeout", "cannot be reached (408 Request Timeout)"},
                 {0, "", "cannot be reached (no answer)"},
                 {0, "Connection refused", "cannot be reached (Connection refused)"},
                 {999, "x", "cannot be reached (x)"}};
    for (const Case& c : cases) {
        Registration failed = FailedWith(c.code, c.reason);
        EXPECT_NE(failed.Describe().find(c.words), std::string::npos) << failed.Describe();
    }
    EXPECT_EQ(FailedWith(403, "Forbidden").Brief(), "not registered: wrong password (SIP 403)");
    EXPECT_EQ(FailedWith(0, "timed out").Brief(), "not registered: provider not reachable, trying again");

    Registration none;
    none.NoAccount("No SIP address is set.");
    none.OnPhone(RegState::Registered, 200, "OK", 0);
    EXPECT_FALSE(none.Registered());
    EXPECT_NE(none.Describe().find("No SIP address is set."), std::string::npos);
    EXPECT_NE(none.Describe().find("SipLink.exe --settings"), std::string::npos);
    EXPECT_FALSE(none.RetryDue(1000000));
}

TEST(RegistrationState, RetriesComeAfterAGrowingPauseSlowerForARefusal) {
    Registration unreachable = FailedWith(0, "Connection timed out");
    EXPECT_FALSE(unreachable.RetryDue(2009));
    EXPECT_TRUE(unreachable.RetryDue(2010));
    unreachable.Requested(2010);
    EXPECT_FALSE(unreachable.RetryDue(100000)) << "a retry under way is not due again";
    unreachable.OnPhone(RegState::Unreachable, 0, "Connection timed out", 4000);
    EXPECT_FALSE(unreachable.RetryDue(7999));
    EXPECT_TRUE(unreachable.RetryDue(8000));
    // Success starts the pauses afresh.
    unreachable.Requested(8000);
    unreachable.OnPhone(RegState::Registered, 200, "OK", 8001);
    unreachable.OnPhone(RegState::Unreachable, 0, "Connection timed out", 9000);
    EXPECT_TRUE(unreachable.RetryDue(11000));

    Registration refused = FailedWith(403, "Forbidden");
    EXPECT_FALSE(refused.RetryDue(60009));
    EXPECT_TRUE(refused.RetryDue(60010));
    for (int i = 0; i < 20; ++i) {
        refused.Requested(0);
        refused.OnPhone(RegState::Refused, 403, "Forbidden", 0);
    }
    EXPECT_FALSE(refused.RetryDue(599999));
    EXPECT_TRUE(refused.RetryDue(600000)) << "the pause stops growing at ten minutes";
    refused.Begin(0);
    refused.OnPhone(RegState::Refused, 403, "Forbidden", 0);
    EXPECT_TRUE(refused.RetryDue(60000)) << "a changed account starts the pauses afresh";
}

// The UTF-16 characters the shell gets for a UTF-8 text.
size_t Units(const std::string& text) {
    return static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0));
}

TEST(TrayTipTest, NamesTheStateInAFewWordsWithTheSipCodeAndAMissingDevice) {
    Registration none, noPhone;
    none.NoAccount("No SIP address is set.");
    noPhone.NoPhone();
    struct Case {
        Registration registration;
        const char* missingDevice;
        const char* tip;
    } cases[] = {
        {Registered(), "", "registered as alice@example.com"},
        {FailedWith(403, "Forbidden"), "", "not registered: wrong password (SIP 403)"},
        {FailedWith(407, "Proxy Authentication Required"), "", "not registered: wrong password (SIP 407)"},
        {FailedWith(404, "Not Found"), "", "not registered: unknown user (SIP 404)"},
        {FailedWith(488, "Not Acceptable Here"), "",
         "not registered: the provider refused the account (SIP 488)"},
        {FailedWith(0, "Connection timed out"), "", "not registered: provider not reachable, trying again"},
        {FailedWith(503, "Service Unavailable"), "",
         "not registered: provider not reachable (SIP 503), trying again"},
        {none, "", "no SIP account is set up"},
        {noPhone, "", "the SIP phone could not start"},
        {Registered(), "DECT_base_mic",
         "registered as alice@example.com; sound device missing: DECT_base_mic"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RegistrationTip(c.registration, "alice@example.com", c.missingDevice),
                  std::string("SipLink: ") + c.tip);
}

TEST(TrayTipTest, ALongTipIsCutToWhatTheShellShowsNeverInsideACharacter) {
    std::string shortText = "SipLink: registered as \xC3\xA9mile@example.com";
    EXPECT_EQ(CutToUnits(shortText, TrayTipUnits), shortText);
    std::string exact(TrayTipUnits, 'a');
    EXPECT_EQ(CutToUnits(exact, TrayTipUnits), exact) << "a text that fits exactly is not cut";

    // Two-, three- and four-byte characters (the last two UTF-16 units) at every place of the cut.
    const std::string characters[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x93\x9E"};
    for (const std::string& character : characters)
        for (size_t lead = 118; lead < 128; ++lead) {
            std::string text = std::string(lead, 'x');
            for (int i = 0; i < 10; ++i)
                text += character;
            std::string cut = CutToUnits(text, TrayTipUnits);
            EXPECT_LE(Units(cut), TrayTipUnits) << lead;
            EXPECT_EQ(cut.substr(cut.size() - 3), "...") << lead;
            EXPECT_EQ(text.compare(0, cut.size() - 3, cut, 0, cut.size() - 3), 0) << "not a cut of the text";
            EXPECT_NE(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, cut.data(),
                                          static_cast<int>(cut.size()), nullptr, 0),
                      0)
                << "cut inside a character after " << lead;
            EXPECT_GE(Units(cut), TrayTipUnits - 2) << "cut shorter than it had to be";
        }

    // Bytes that start no character count one each and are kept as they are.
    std::string broken = std::string(200, '\xFF');
    EXPECT_EQ(CutToUnits(broken, TrayTipUnits), std::string(124, '\xFF') + "...");
    std::string truncatedSequence = std::string(130, 'x') + "\xF0\x9F";
    EXPECT_EQ(CutToUnits(truncatedSequence, TrayTipUnits), std::string(124, 'x') + "...");

    std::string longAddress = std::string(200, 'u') + "@example.com";
    EXPECT_EQ(Units(RegistrationTip(Registered(), longAddress, "")), TrayTipUnits);
    EXPECT_EQ(Units(RegistrationTip(Registered(), "a@b", std::string(300, 'd'))), TrayTipUnits);
}
} // namespace
