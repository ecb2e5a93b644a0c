#include "tests/sipcalls/SipDesk.h"

#include "dect/PacketLink.h"
#include "sim/control/SimControl.h"
#include "siplink/WideText.h"
#include "siplink/account/AccountStore.h"
#include "tools/sip/agent/SipLinkEnd.h"

namespace sipcalls {

namespace {

constexpr const char* SipLinkLogPath = "c:\\temp\\SipDeskLink.log";

// A setting under HKCU\SOFTWARE\Skype\Dect, as the panel stores it.
void WriteSetting(const char* name, const char* text) {
    RegSetKeyValueA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", name, REG_SZ, text,
                    static_cast<DWORD>(strlen(text) + 1));
}

void WriteText(const std::string& path, const std::string& text) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

std::string AtProvider(const std::string& user) {
    return "sip:" + user + "@127.0.0.1:" + std::to_string(Port.provider);
}

bool SipLinkProcess::Start(const std::string& path) {
    logPath = path;
    CreateDirectoryA("c:\\temp", nullptr);
    DeleteFileA(logPath.c_str());
    return process.Start(test::BinDir() + "\\SipLink.exe", "--log " + logPath) && WaitForLog("READY", "");
}

void SipLinkProcess::Stop() {
    if (!process.Running())
        return;
    EXPECT_EQ(EndSipLink(process), 0u) << "SipLink did not end on WM_CLOSE";
}

bool SipLinkProcess::WaitForLog(const std::string& tag, const std::string& text, DWORD timeoutMs) const {
    std::string wanted = " " + tag + " " + text + "\r\n";
    return test::WaitUntil([&] { return Log().find(wanted) != std::string::npos; }, timeoutMs);
}

AgentConfig SipDesk::FarEnd() {
    AgentConfig config = LoopbackAgents(Port.base, FarAnswerTimeoutS).farEnd;
    config.registrarPort = Port.provider;
    config.contacts = {{"alice", AtProvider("alice")}};
    return config;
}

void SipDesk::SetUp() {
    SimReset();
    WriteSetting("CountryCode", "");
    WriteSetting("ShowOnlineOnly", showOnlineOnly);
    ASSERT_TRUE(StartProvider()) << "the provider did not start";
    ASSERT_TRUE(farAgent.Start(farConfig)) << "the far agent did not start";
    ASSERT_TRUE(farEnd.Connect(farConfig.controlPort)) << test::ReadWholeFile(farAgent.LogPath());
    ASSERT_TRUE(farEnd.WaitUntilRegistered(Wait)) << "the far agent did not register";
    std::string list;
    for (const auto& [name, address] : contacts)
        list += "\"" + name + "\" <" + address + ">\r\n";
    WriteText(Utf8FromWide(SipLinkFolder()) + "\\contacts", list);
    StoreAccount("alicepw");
    if (programAtStart) {
        ASSERT_TRUE(program.Start());
    }
    if (programAtStart && lineAtStart) {
        StartSipLink();
        ASSERT_TRUE(WaitForSkypeLight(true)) << "the program did not attach to SipLink" << ShowLog();
    }
}

void SipDesk::TearDown() {
    if (program.Proc().Running()) {
        EXPECT_TRUE(program.Exit()) << "the program did not exit on request";
    }
    sipLink.Stop();
    farEnd.Close();
    farAgent.AskToStop();
    farAgent.Stop();
    provider.Stop();
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
}

void SipDesk::StoreAccount(const std::string& password) {
    Account account = LoopbackAccount(Port.provider);
    account.password = password;
    ASSERT_TRUE(SaveAccount(account));
}

bool SipDesk::StartProvider() {
    return provider.Start("sipprovider.sh", "sipagents\\provider-" + std::to_string(Port.provider),
                          {std::to_string(Port.provider), "403"});
}

void SipDesk::StartSipLink() {
    ASSERT_TRUE(sipLink.Start(SipLinkLogPath)) << ShowLog();
}

bool SipDesk::LogHas(const std::string& text, DWORD timeoutMs) const {
    return test::WaitUntil([&] { return sipLink.Log().find(text) != std::string::npos; }, timeoutMs);
}

bool SipDesk::WaitForState(const std::string& words, DWORD timeoutMs) const {
    return test::WaitUntil(
        [&] {
            std::string log = sipLink.Log();
            size_t last = log.rfind(" REGISTRATION ");
            return last != std::string::npos && log.find(words, last) < log.find('\n', last);
        },
        timeoutMs);
}

bool SipDesk::WaitForSkypeLight(bool on, DWORD timeoutMs) {
    return WaitForHandset([&](const HandsetView& view) { return view.skypeLight == on; }, timeoutMs);
}

bool SipDesk::WaitForCallLight(bool on, DWORD timeoutMs) {
    return WaitForHandset([&](const HandsetView& view) { return view.callLight == on; }, timeoutMs);
}

void SipDesk::Press(const std::string& keys) {
    // One key at a time: a key pressed while the same key is still on its way can be lost.
    for (char key : keys) {
        ASSERT_TRUE(HandsetPressKey(static_cast<uint8_t>(key))) << "the base took no key " << key;
        ASSERT_TRUE(WaitUntilBaseSent(Wait)) << "the base kept the key " << key;
    }
}

void SipDesk::Dial(const std::string& number) {
    Press("#" + number + "#");
    ASSERT_TRUE(sipLink.WaitForLog("RECV", "CALL " + number)) << ShowLog();
}

void SipDesk::CallBob() {
    // The program asks for the contacts 5 s after start-up, then for each one's status.
    ASSERT_TRUE(sipLink.WaitForLog("SEND", "USERS bob", 9000)) << ShowLog();
    ASSERT_TRUE(sipLink.WaitForLog("RECV", "GET USER bob ONLINESTATUS")) << ShowLog();
    Press("##"); // number entry, then the first contact
    ASSERT_TRUE(
        WaitForHandset([](const HandsetView& view) { return view.display.rfind("bob", 0) == 0; }, Wait));
    Press("#");
    ASSERT_TRUE(sipLink.WaitForLog("RECV", "CALL bob")) << ShowLog();
}

void SipDesk::FarRings() {
    AgentMessage incoming;
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_INCOMING", Wait, &incoming)) << ShowLog();
    EXPECT_EQ(incoming.peerUri, AtProvider("alice"));
}

void SipDesk::FarCalls() {
    ASSERT_TRUE(farEnd.Command("dial", AtProvider("alice")));
    ASSERT_TRUE(
        WaitForHandset([](const HandsetView& view) { return view.ringing && view.caller == "bob"; }, Wait))
        << "the handset did not ring with the far end's name" << ShowLog();
}

void SipDesk::FarAnswers() {
    ASSERT_TRUE(farEnd.Command("accept"));
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_ESTABLISHED"));
    ASSERT_TRUE(WaitForCallLight(true)) << "the call light did not come on" << ShowLog();
}

bool SipDesk::WaitForRelease(uint32_t count, DWORD timeoutMs) {
    return WaitForFrames(CmdRelease, count, timeoutMs);
}

void SipDesk::ExpectReleased(uint32_t releasesBefore, const std::string& status) {
    EXPECT_TRUE(WaitForRelease(releasesBefore + 1)) << "the handset was not released" << ShowLog();
    EXPECT_TRUE(WaitForCallLight(false));
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL " + std::to_string(++callsEnded) + " STATUS " + status))
        << ShowLog();
}

void SipDesk::PressAToneReachesTheFarEnd(char key) {
    Press(std::string(1, key));
    AgentMessage tone;
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_DTMF_START", Wait, &tone)) << ShowLog();
    EXPECT_EQ(tone.param, std::string(1, key));
}

void SipDesk::HangUpAtTheHandset() {
    ASSERT_TRUE(HandsetHangUp(1));
    AgentMessage closed;
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_CLOSED", Wait, &closed)) << ShowLog();
    EXPECT_EQ(closed.param, "Connection reset by peer") << "the far end did not see the other side end it";
    EXPECT_TRUE(WaitForCallLight(false));
}

void SipDesk::FarEndHangsUp() {
    uint32_t releases = Releases();
    ASSERT_TRUE(farEnd.Command("hangup"));
    ExpectReleased(releases, "FINISHED");
}

uint32_t SipDesk::Releases() {
    return ReadHandset().framesByCommand[CmdRelease];
}

} // namespace sipcalls
