// The SIP account window as a person uses it: the fields filled, Apply pressed; what is stored, what the
// window says, and the running SipLink registering the changed account.
#include <winsock2.h>

#include "siplink/WideText.h"
#include "siplink/account/AccountStore.h"
#include "tests/common/ShellTray.h"
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::Wait;

// The control that follows the label with this text (the form's order: label, then its field).
HWND FieldAfter(HWND window, const char* label) {
    HWND found = FindWindowExA(window, nullptr, "STATIC", label);
    return found ? GetWindow(found, GW_HWNDNEXT) : nullptr;
}

// Asked of the control itself: another process's GetWindowText gives an edit's first text only.
std::string TextOf(HWND control) {
    char text[512] = "";
    SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

class AccountWindowTest : public sipaccount::ProviderDesk {
  protected:
    void TearDown() override {
        if (settingsWindow.Running()) {
            if (window)
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            EXPECT_EQ(settingsWindow.Wait(5000), 0u) << "the account window did not close on Cancel";
            settingsWindow.Kill();
        }
        ProviderDesk::TearDown();
    }
    void OpenWindow() {
        ASSERT_TRUE(settingsWindow.Start(test::BinDir() + "\\SipLink.exe", "--settings"));
        window = test::WaitForWindow("SIP account", Wait, "SipLinkAccount");
        ASSERT_NE(window, nullptr) << "no account window";
        // It shows itself once its fields are filled.
        ASSERT_TRUE(test::WaitUntil([&] { return IsWindowVisible(window) != FALSE; }, Wait));
    }
    // Types the text (UTF-8) into the field, as a keyboard would: in UTF-16.
    void Type(const char* label, const std::string& text) {
        HWND field = FieldAfter(window, label);
        ASSERT_NE(field, nullptr) << "no field " << label;
        SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
    }
    void Press(int id) { SendMessageA(window, WM_COMMAND, id, 0); }
    std::string Status() const { return TextOf(FindWindowExA(window, nullptr, "STATIC", nullptr)); }
    bool WaitForStatus(const std::string& words) const {
        return test::WaitUntil([&] { return Status().find(words) != std::string::npos; }, Wait);
    }

    test::Process settingsWindow;
    HWND window = nullptr;
    static constexpr int ApplyId = 200;
};

TEST_F(AccountWindowTest, ShowsTheStoredAccountAndStoresWhatIsTypedWithThePasswordSealed) {
    Account unplugged = LoadAccount();
    unplugged.speaker = "Headset (unplugged)";
    ASSERT_TRUE(SaveAccount(unplugged));
    OpenWindow();
    EXPECT_EQ(TextOf(FieldAfter(window, "SIP address (user@domain):")),
              "alice@127.0.0.1:" + std::to_string(sipaccount::Port.provider));
    EXPECT_EQ(GetWindowLongA(FieldAfter(window, "Password:"), GWL_STYLE) & ES_PASSWORD, ES_PASSWORD)
        << "the password shows in clear";
    EXPECT_TRUE(WaitForStatus("SipLink is not running")) << Status();

    Type("SIP address (user@domain):", "bob@sip.example.net");
    Type("Password:", "n3w-secret");
    Type("Registrar or outbound proxy (optional):", "proxy.example.net:5070");
    Type("Display name:", "Bob");
    Press(ApplyId);
    EXPECT_TRUE(WaitForStatus("Saved")) << Status();
    tray_test::SaveScreenshot(window, "sip-account-window.bmp");

    Account stored = LoadAccount();
    EXPECT_EQ(stored.address, "bob@sip.example.net");
    EXPECT_EQ(stored.password, "n3w-secret");
    EXPECT_EQ(stored.registrar, "proxy.example.net:5070");
    EXPECT_EQ(stored.displayName, "Bob");
    EXPECT_EQ(stored.speaker, "Headset (unplugged)") << "a device the system does not list was lost";
    EXPECT_TRUE(stored.providerOnly);
}

TEST_F(AccountWindowTest, AnAddressThatIsNoAddressIsNotSavedAndTheWindowSaysWhy) {
    OpenWindow();
    Type("SIP address (user@domain):", "just-a-name");
    Press(ApplyId);
    EXPECT_TRUE(WaitForStatus("Not saved: The SIP address must read user@domain")) << Status();
    EXPECT_EQ(LoadAccount().address, "alice@127.0.0.1:" + std::to_string(sipaccount::Port.provider));
}

TEST_F(AccountWindowTest, AppliedAfterAWrongPasswordTheLineComesOn) {
    StoreAccount("wrong-one");
    StartSipLink();
    ASSERT_TRUE(WaitForState("refused the password (403 Forbidden)")) << ShowLog();
    OpenWindow();
    EXPECT_TRUE(WaitForStatus("refused the password (403 Forbidden)"))
        << "the window does not say why" << Status();
    Type("Password:", "alicepw");
    Press(ApplyId);
    EXPECT_TRUE(WaitForSkypeLight(true)) << "the changed password did not register" << ShowLog();
    EXPECT_TRUE(WaitForStatus("Registered with the provider")) << Status();
    EXPECT_EQ(sipLink.Log().find("alicepw"), std::string::npos) << "the password in the log";
}

// A password with letters beyond ASCII and characters a text format might reserve, typed into the window,
// is stored and sent as the provider has it.
TEST_F(AccountWindowTest, APasswordInAnyLettersTypedInTheWindowRegisters) {
    StoreAccount("wrong-one");
    StartSipLink();
    ASSERT_TRUE(WaitForState("refused the password")) << ShowLog();
    OpenWindow();
    Type("SIP address (user@domain):", "odd1@127.0.0.1:" + std::to_string(sipaccount::Port.provider));
    Type("Password:", "M\xC3\xBCller-4f");
    Press(ApplyId);
    EXPECT_TRUE(WaitForStatus("Registered with the provider")) << Status() << ShowLog();
    EXPECT_EQ(LoadAccount().password, "M\xC3\xBCller-4f");
}

// Apply pressed in a call, with nothing changed and then with a changed account, never ends the call: the
// changed account waits for its end.
TEST_F(AccountWindowTest, ApplyInACallKeepsTheCallAndAChangedAccountWaitsForItsEnd) {
    StartSipLink();
    ASSERT_TRUE(WaitForSkypeLight(true)) << ShowLog();
    Dial(sipcalls::FarNumber);
    FarRings();
    FarAnswers();
    OpenWindow();
    Press(ApplyId);
    EXPECT_TRUE(WaitForStatus("Saved")) << Status();
    PressAToneReachesTheFarEnd('5');
    Type("Display name:", "Alice in a call");
    Press(ApplyId);
    EXPECT_TRUE(WaitForStatus("used once the call is over")) << Status() << ShowLog();
    PressAToneReachesTheFarEnd('7');
    EXPECT_TRUE(farEnd.Events("CALL_CLOSED").empty()) << "the call ended" << ShowLog();
    EXPECT_TRUE(ReadHandset().skypeLight) << "the line went in the call" << ShowLog();

    FarEndHangsUp();
    EXPECT_TRUE(LogHas("PHONE registered", Wait)) << ShowLog();
    EXPECT_TRUE(WaitForStatus("Registered with the provider")) << Status();
    EXPECT_TRUE(WaitForSkypeLight(true)) << ShowLog();
}

} // namespace
