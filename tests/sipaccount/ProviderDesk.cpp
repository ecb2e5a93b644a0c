#include "tests/sipaccount/ProviderDesk.h"

#include <shlobj.h>

#include "sim/control/SimControl.h"
#include "siplink/account/AccountStore.h"
#include "siplink/WideText.h"

namespace sipaccount {

namespace {

constexpr const char* LogPath = "c:\\temp\\SipAccountLink.log";
constexpr int FarAnswerTimeoutS = 3;
constexpr const char* SippUser = "7477";

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

bool SippFarEnd::Start(const std::string& scenario, const std::vector<std::string>& arguments) {
    std::string port = std::to_string(Port.sipp);
    std::string provider = "127.0.0.1:" + std::to_string(Port.provider);
    ScriptProcess registration;
    if (!registration.Start("sipp.sh", "sipagents\\sipp-register-" + port,
                            {"reg.xml", provider, "-s", SippUser, "-ap", "7477pw", "-i", "127.0.0.1", "-p",
                             port, "-m", "1", "-timeout", "10", "-timeout_error"}) ||
        !registration.WaitForEnd(Wait) || test::ReadWholeFile(registration.Path("rc")).rfind("0", 0) != 0)
        return false;
    // sipp.sh's "-set" triples first, then these defaults, then the caller's options, which win.
    std::vector<std::string> all = {scenario};
    size_t sets = 0;
    while (sets + 2 < arguments.size() && arguments[sets] == "-set")
        sets += 3;
    all.insert(all.end(), arguments.begin(), arguments.begin() + sets);
    all.insert(all.end(), {"-i", "127.0.0.1", "-p", port, "-mi", "127.0.0.1", "-mp",
                           std::to_string(Port.sippMedia), "-m", "1", "-timeout", "60", "-trace_err"});
    all.insert(all.end(), arguments.begin() + sets, arguments.end());
    return run.Start("sipp.sh", "sipagents\\sipp-" + port, all);
}

int SippFarEnd::Result(DWORD timeoutMs) {
    if (!run.WaitForEnd(timeoutMs))
        return -1;
    std::string rc = test::ReadWholeFile(run.Path("rc"));
    return rc.empty() ? -1 : std::atoi(rc.c_str());
}

std::string SippFarEnd::Output() const {
    return test::ReadWholeFile(run.Path("log"));
}

void ProviderDesk::StoreAccount(const std::string& password) {
    Account account = LoopbackAccount(Port.provider);
    account.password = password;
    ASSERT_TRUE(SaveAccount(account));
}

bool ProviderDesk::StartProvider() {
    return provider.Start("sipprovider.sh", "sipagents\\provider-" + std::to_string(Port.provider),
                          {std::to_string(Port.provider), "403"});
}

void ProviderDesk::StartSipLink() {
    ASSERT_TRUE(sipLink.StartOwnAgent(LogPath));
}

bool ProviderDesk::LogHas(const std::string& text, DWORD timeoutMs) const {
    return test::WaitUntil([&] { return sipLink.Log().find(text) != std::string::npos; }, timeoutMs);
}

bool ProviderDesk::WaitForState(const std::string& words, DWORD timeoutMs) const {
    return test::WaitUntil(
        [&] {
            std::string log = sipLink.Log();
            size_t last = log.rfind(" REGISTRATION ");
            return last != std::string::npos && log.find(words, last) < log.find('\n', last);
        },
        timeoutMs);
}

void ProviderDesk::SetUp() {
    SimReset();
    RegSetKeyValueA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", "CountryCode", REG_SZ, "", 1);
    RegSetKeyValueA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", "ShowOnlineOnly", REG_SZ, "0", 2);
    ASSERT_TRUE(StartProvider()) << "the provider did not start";
    AgentConfig farConfig = LoopbackAgents(Port.base, FarAnswerTimeoutS).farEnd;
    farConfig.registrarPort = Port.provider;
    farConfig.contacts = {{"alice", AtProvider("alice")}};
    ASSERT_TRUE(farAgent.Start(farConfig)) << "the far agent did not start";
    ASSERT_TRUE(farEnd.Connect(farConfig.controlPort)) << test::ReadWholeFile(farAgent.LogPath());
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            std::string info;
            return farEnd.Command("reginfo", "", &info) && info.find("OK") != std::string::npos;
        },
        Wait))
        << "the far agent did not register";
    WriteText(Utf8FromWide(SipLinkFolder()) + "\\contacts",
              "\"bob\" <" + AtProvider("42") + ">;presence=p2p\n");
    StoreAccount("alicepw");
}

void ProviderDesk::TearDown() {
    SipDesk::TearDown();
    provider.Stop();
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
}

void ProviderLine::SetUp() {
    ProviderDesk::SetUp();
    ASSERT_TRUE(program.Start());
    StartSipLink();
    ASSERT_TRUE(WaitForSkypeLight(true)) << "the line was not offered" << ShowLog();
}

void ProviderLine::DialSipp(const std::string& scenario, const std::vector<std::string>& arguments) {
    ASSERT_TRUE(sipp.Start(scenario, arguments)) << "SIPp did not start: " << sipp.Output();
    Dial(SippUser);
}

} // namespace sipaccount
