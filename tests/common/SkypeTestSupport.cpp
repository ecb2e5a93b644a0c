#include "tests/common/SkypeTestSupport.h"

#include <algorithm>
#include <cstdio>

#include "dect/DectBase.h"
#include "dect/PacketLink.h"
#include "sim/control/SimControl.h"

namespace skype_test {

namespace {

constexpr const char* SkypeKey = "SOFTWARE\\Skype\\Phone";

// A base that is only a holder for the recording link below; the base deletes its link when it goes.
class RecordingBase : public DectBase {
  public:
    explicit RecordingBase(PacketLink* recording) { link = recording; }
};

class RecordingLink : public PacketLink {
  public:
    explicit RecordingLink(std::vector<HandsetEvent>& events) : PacketLink(nullptr), events(events) {}
    int Open() override { return 1; }
    int Close() override { return 1; }
    int ShowText(const char* text) override { return Record("show " + std::string(text)); }
    void SetCallIndicator(int flag) override { Record("call light " + std::to_string(flag)); }
    void SetSkypeIndicator(int flag) override { Record("skype light " + std::to_string(flag)); }
    int SendConnect() override { return Record("connect"); }
    int SendRelease() override { return Record("release"); }
    int SendIncomingCall(const char* text) override { return Record("ring " + std::string(text)); }
    int WriteBytes(const uint8_t*, int count) override { return count; }
    int ReadBytes(uint8_t*, int) override { return 0; }

  private:
    int Record(const std::string& what) {
        events.push_back({GetTickCount(), what});
        return 1;
    }
    std::vector<HandsetEvent>& events;
};

std::string NewestTraceFile() {
    char pattern[64];
    std::snprintf(pattern, sizeof pattern, "c:\\temp\\Telvane.log_*_%lX.txt", GetCurrentProcessId());
    std::vector<std::string> names = test::FindFiles(pattern);
    return names.empty() ? "" : *std::max_element(names.begin(), names.end());
}

// Pumps until the peer's log has stopped growing for a while: what a step started has been answered.
void Settle() {
    size_t size = test::ReadWholeFile(PeerLogPath).size();
    DWORD quietSince = GetTickCount();
    test::WaitUntil(
        [&] {
            size_t now = test::ReadWholeFile(PeerLogPath).size();
            if (now != size) {
                size = now;
                quietSince = GetTickCount();
            }
            return GetTickCount() - quietSince >= 120;
        },
        3000);
}

std::string traceName;
size_t traceStart = 0;

} // namespace

void SetSkypeKey(bool present) {
    if (!present) {
        RegDeleteKeyA(HKEY_CURRENT_USER, SkypeKey);
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SkypeKey, 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

std::string Describe(const std::vector<std::string>& texts) {
    std::string all = "[";
    for (const std::string& text : texts)
        all += (all.size() > 1 ? " | " : "") + text;
    return all + "]";
}

Peer::~Peer() {
    Quit();
}

bool Peer::Start(const std::string& options) {
    DeleteFileA(PeerLogPath);
    if (!process.Start(test::BinDir() + "\\SkypePeer.exe",
                       std::string("/log ") + PeerLogPath + " " + options))
        return false;
    if (!WaitForLine("READY", ""))
        return false;
    control = FindWindowA(nullptr, "Skype Peer Control");
    api = FindWindowA(nullptr, "Skype Peer API");
    return control && api;
}

bool Peer::Control(const std::string& command) const { return PeerControl(command); }

DWORD Peer::Quit() {
    if (!process.Running())
        return process.Wait(0);
    Control("quit");
    DWORD code = STILL_ACTIVE;
    test::WaitUntil([&] { return (code = process.Wait(0)) != STILL_ACTIVE; }, 5000);
    process.Kill();
    return code;
}

std::vector<PeerLine> Peer::Lines(const std::string& tag) const {
    return ReadPeerLog(PeerLogPath, tag);
}

std::vector<std::string> Peer::Texts(const std::string& tag) const {
    std::vector<std::string> texts;
    for (const PeerLine& line : Lines(tag))
        texts.push_back(line.text);
    return texts;
}

bool Peer::WaitForLine(const std::string& tag, const std::string& text, DWORD timeoutMs) const {
    return test::WaitUntil(
        [&] {
            std::vector<std::string> texts = Texts(tag);
            return std::find(texts.begin(), texts.end(), text) != texts.end();
        },
        timeoutMs);
}

void SkypeDialog::SetUp() {
    // No base plugged in: the library answers the window without starting a device, so no timer runs and the
    // test drives every step itself.
    SimReset();
    WithSim([](SimState& sim) { sim.config.plugged = 0; });
    SetSkypeKey(true);
    skypeWindow = nullptr;
    dialog = std::make_unique<MainDialog>();
    ASSERT_NE(dialog->CreateModeless(), nullptr);
    traceName = NewestTraceFile();
    traceStart = test::ReadWholeFile(traceName).size();
}

void SkypeDialog::TearDown() {
    EXPECT_EQ(peer.Quit(), 0u) << "the peer did not end cleanly";
    dialog->Shutdown();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    dialog.reset();
    skypeWindow = nullptr;
}

void SkypeDialog::GiveBase() {
    dialog->dectBase = new RecordingBase(new RecordingLink(handset));
}

bool SkypeDialog::StartAndAttach(const std::string& options) {
    if (!peer.Start(options))
        return false;
    dialog->SkypePumpStep();
    return test::WaitUntil([&] { return skypeWindow == peer.Api(); }, 5000);
}

void SkypeDialog::Step() {
    dialog->SkypePumpStep();
    Settle();
}

bool SkypeDialog::Notify(const std::string& text) {
    size_t sent = peer.Lines("SEND").size();
    return peer.Control("notify " + text) &&
           test::WaitUntil([&] { return peer.Lines("SEND").size() > sent; }, 5000);
}

std::vector<std::string> SkypeDialog::TakeHandset() {
    std::vector<std::string> texts;
    for (; handsetTaken < handset.size(); ++handsetTaken)
        texts.push_back(handset[handsetTaken].what);
    return texts;
}

std::vector<std::string> SkypeDialog::Queue() const {
    return std::vector<std::string>(dialog->skypeCommands.begin(), dialog->skypeCommands.end());
}

std::string SkypeDialog::TraceText() const {
    return test::ReadWholeFile(traceName).substr(traceStart);
}

bool SkypeDialog::TimerArmed(UINT_PTR id) const {
    return KillTimer(dialog->Handle(), id) != 0;
}

} // namespace skype_test
