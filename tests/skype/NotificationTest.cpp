// Skype's notifications as the link takes them from the peer program: traced, released at once, cut at
// their first zero byte or at the end of their data, handed on whole, and only from the attached Skype.
#include "tests/skype/LinkFixture.h"

namespace skype_test {
namespace {

class SkypeNotifications : public LinkFixture {
  protected:
    void SetUp() override {
        LinkFixture::SetUp();
        ASSERT_TRUE(StartAndAttach());
        TakeShown();
    }
};

TEST_F(SkypeNotifications, EachTextIsTracedAndHandedOnAsSent) {
    const Strings texts = {"CALL 71 STATUS RINGING",
                           "call 5 status ringing",
                           "CALL  STATUS RINGING",
                           " CALL 5 STATUS FINISHED",
                           "USERS bob, Alice, carol",
                           "ERROR",
                           ""};
    for (const std::string& text : texts)
        ASSERT_TRUE(Notify(text)) << text;
    EXPECT_EQ(notifications, texts);
    std::string trace = TraceText();
    size_t last = 0;
    for (const std::string& text : texts) {
        size_t at = trace.find("\t[SKYPE -> MAIN] : " + text + "\r\n", last);
        EXPECT_NE(at, std::string::npos) << "no trace line for \"" << text << "\" in order:\n" << trace;
        last = at == std::string::npos ? last : at + 1;
    }
    EXPECT_EQ(TakeShown(), Strings{}) << "a notification changes nothing of the link";
}

TEST_F(SkypeNotifications, TextWithoutZeroByteIsCutAtTheEndOfItsDataAndNoDataIsEmpty) {
    ASSERT_TRUE(peer.Control("notify-unterminated CALL 9 STATUS RINGING"));
    ASSERT_TRUE(peer.WaitForLine("SEND", "CALL 9 STATUS RINGING"));
    ASSERT_TRUE(peer.Control("notify-null"));
    ASSERT_TRUE(peer.WaitForLine("SEND", "(no data)"));
    EXPECT_EQ(notifications, (Strings{"CALL 9 STATUS RINGING", ""})) << Describe(notifications);
    EXPECT_NE(TraceText().find("\t[SKYPE -> MAIN] : CALL 9 STATUS RINGING\r\n"), std::string::npos)
        << TraceText();
}

// The client writes UTF-8; the program's text is in the ANSI code page, and goes back in UTF-8.
TEST_F(SkypeNotifications, Utf8IsHandedOnAndTracedInTheCodePageAndCommandsLeaveInUtf8) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the names below are written in code page 1252; here it is " << GetACP();
    ASSERT_TRUE(Notify("USER J\xC3\xBCrgen ONLINESTATUS ONLINE"));
    EXPECT_EQ(notifications, Strings{"USER J\xFCrgen ONLINESTATUS ONLINE"}) << Describe(notifications);
    EXPECT_NE(TraceText().find("\t[SKYPE -> MAIN] : USER J\xFCrgen ONLINESTATUS ONLINE\r\n"),
              std::string::npos)
        << TraceText();
    link.QueueSkypeCommand("GET USER J\xFCrgen ONLINESTATUS");
    EXPECT_TRUE(peer.WaitForLine("RECV", "GET USER J\xC3\xBCrgen ONLINESTATUS"))
        << Describe(peer.Texts("RECV"));
}

TEST_F(SkypeNotifications, NotificationsFromAnotherWindowAreNeitherTracedNorHandedOn) {
    HWND stranger = CreateWindowExA(0, "STATIC", "stranger", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_NE(stranger, nullptr);
    std::string text = "CALL 8 STATUS RINGING";
    COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), &text[0]};
    SendMessageA(window, WM_COPYDATA, reinterpret_cast<WPARAM>(stranger), reinterpret_cast<LPARAM>(&data));
    SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    SendMessageA(window, WM_COPYDATA, reinterpret_cast<WPARAM>(peer.Api()), 0);
    DestroyWindow(stranger);
    EXPECT_EQ(notifications, Strings{});
    EXPECT_EQ(TraceText().find("CALL 8"), std::string::npos) << TraceText();
}

} // namespace
} // namespace skype_test
