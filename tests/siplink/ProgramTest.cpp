// SipLink.exe itself, with no provider: the options it takes, the restart it asks Windows for, and the
// registry key it makes and removes. What its API window does with a client: tests/sipaccount/ApiWindowTest.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/common/TestSupport.h"
#include "tools/sip/agent/SipLinkEnd.h"

namespace {

constexpr const char* LogPath = "c:\\temp\\SipLinkProgramTest.log";
constexpr const char* SkypeKey = "SOFTWARE\\Skype\\Phone";

bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SkypeKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Runs SipLink with the arguments to its end; with `untilReady`, ends it once its main window is there.
DWORD RunSipLink(const std::string& arguments, bool untilReady = false) {
    test::Process process;
    if (!process.Start(test::BinDir() + "\\SipLink.exe", arguments))
        return STILL_ACTIVE;
    if (!untilReady)
        return process.Wait(10000);
    test::WaitUntil([&] { return AskSipLinkToEnd(process.Id()) || !process.Running(); }, 10000);
    return EndSipLink(process);
}

// A SipLink that crashes comes back by itself: it asks Windows to restart it with its own arguments.
TEST(SipLinkRestart, RegistersForRestartWithItsOwnArguments) {
    CreateDirectoryA("c:\\temp", nullptr);
    DeleteFileA(LogPath);
    std::string arguments = "--log " + std::string(LogPath);
    EXPECT_EQ(RunSipLink(arguments, true), 0u);
    std::string log = test::ReadWholeFile(LogPath);
    EXPECT_NE(log.find(" RESTART " + arguments + "\r\n"), std::string::npos) << log;
}

// One SipLink per session: a second start shows the running one's account window and ends; a second
// account window shows the one open; --uninstall runs beside it.
TEST(SipLinkSession, ASecondStartShowsTheRunningOneAndEnds) {
    test::Process first;
    ASSERT_TRUE(first.Start(test::BinDir() + "\\SipLink.exe", ""));
    ASSERT_TRUE(test::WaitUntil([] { return FindWindowA("SipLinkMain", nullptr) != nullptr; }, 5000));
    EXPECT_EQ(RunSipLink(""), 0u) << "a second SipLink went on running";
    HWND account = test::WaitForWindow("SIP account", 10000);
    ASSERT_NE(account, nullptr) << "the running SipLink did not show its account window";
    EXPECT_EQ(RunSipLink("--settings"), 0u) << "a second account window went on running";
    int accountWindows = 0;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, nullptr, "SIP account")) != nullptr;)
        ++accountWindows;
    EXPECT_EQ(accountWindows, 1);
    EXPECT_EQ(RunSipLink("--uninstall"), 0u);
    PostMessageA(account, WM_CLOSE, 0, 0);
    EXPECT_EQ(EndSipLink(first), 0u);
}

// A Run value written for an earlier version may still name an agent's control port: SipLink, the phone
// itself now, says so in its log and runs; an option it never knew ends it with 2.
TEST(SipLinkOptions, TheControlPortOfEarlierVersionsIsIgnoredWithALogLine) {
    CreateDirectoryA("c:\\temp", nullptr);
    DeleteFileA(LogPath);
    EXPECT_EQ(
        RunSipLink("--control 0.0.0.0:1 --allow-remote-control-unauthenticated --log " + std::string(LogPath),
                   true),
        0u);
    std::string log = test::ReadWholeFile(LogPath);
    EXPECT_NE(log.find(" IGNORED --control 0.0.0.0:1 --allow-remote-control-unauthenticated "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" READY"), std::string::npos) << log;
    EXPECT_EQ(RunSipLink("--colour blue"), 2u) << "an unknown option";
    EXPECT_EQ(RunSipLink("--control"), 2u) << "an option without its value";
}

TEST(SipLinkInstall, TheSkypeKeyIsMadeWhenMissingAndOnlyWhatWasMadeIsRemoved) {
    const std::string noOptions = "";
    RegDeleteKeyA(HKEY_CURRENT_USER, SkypeKey);
    EXPECT_EQ(RunSipLink(noOptions, true), 0u);
    EXPECT_TRUE(KeyExists()) << "the key the program looks for must stay while SipLink is installed";
    EXPECT_EQ(RunSipLink("--uninstall"), 0u);
    EXPECT_FALSE(KeyExists()) << "uninstalling left the key SipLink made";

    // A key that was there before SipLink is not SipLink's to remove.
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, SkypeKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RunSipLink(noOptions, true), 0u);
    EXPECT_EQ(RunSipLink("--uninstall"), 0u);
    EXPECT_TRUE(KeyExists());
}

} // namespace
