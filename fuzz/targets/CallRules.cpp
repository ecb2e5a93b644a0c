// The call rules with any sequence of Skype notifications (any text, any cbData), handset keys, frames lost
// on the way from the base, timer expiries and losses of the link. Checked after every step: every change of
// the handset's phase one the table allows (none refused) and following the one before, a current call
// exactly while the phase has one, with a known id, every queued command one of the program's own forms
// carrying only the id or handle the rules allow, a USERS answer adding no more than its bound, an unanswered
// call's release never in the same step as its connect (the pause is a timer, not a wait), and the calls list
// within its bounds, each entry stored in a form that reads back the same. After a lost frame, no key but the
// end key does anything until the pause is over. After a loss of the link: the phase is Idle with no call and
// no number, and once the release's pause is over the handset is released, by a release sent after the loss
// when the handset was in a call or rang.
#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bridge/CallBridge.h"
#include "fuzz/FuzzTarget.h"
#include "skype/ApiLine.h"
#include "skype/NotificationText.h"

namespace {

struct Command {
    std::string text;
    CallTag tag;
};

class FakeSkype : public SkypeCommands {
  public:
    void QueueSkypeCommand(const std::string& text, CallTag call) override { sent.push_back({text, call}); }
    bool DropSkypeCommands(CallTag) override { return false; }
    std::vector<Command> sent;
};

enum class Step { Show, Ring, Connect, Release, CallLight, SkypeLight };

// Remembers whether the bridge left the handset ringing or connected.
class FakeHandset : public Handset {
  public:
    void ShowOnHandset(const std::string&) override { steps.push_back(Step::Show); }
    void RingHandset(const std::string&) override {
        steps.push_back(Step::Ring);
        engaged = true;
    }
    void ConnectHandset() override {
        steps.push_back(Step::Connect);
        engaged = true;
    }
    void ReleaseHandset() override {
        steps.push_back(Step::Release);
        engaged = false;
    }
    void SetCallIndicator(bool) override { steps.push_back(Step::CallLight); }
    void SetSkypeIndicator(bool) override { steps.push_back(Step::SkypeLight); }
    std::vector<Step> steps;
    bool engaged = false;
};

// Follows the phase through the changes the bridge reports.
class FakeWatcher : public PhaseWatcher {
  public:
    void PhaseChanged(HandsetPhase from, HandsetPhase to, const std::string&) override {
        FUZZ_CHECK(from == phase);
        FUZZ_CHECK(PhaseChangeAllowed(from, to) && from != to);
        phase = to;
    }
    void PhaseRefused(HandsetPhase, HandsetPhase, const std::string&) override {
        FUZZ_CHECK(!"a change of phase the table forbids");
    }
    HandsetPhase phase = HandsetPhase::Idle;
};

constexpr int TimerCount = 4;

class FakeTimers : public BridgeTimers {
  public:
    void StartTimer(BridgeTimer timer, unsigned ms) override {
        armed[static_cast<int>(timer)] = true;
        if (timer == BridgeTimer::Release)
            FUZZ_CHECK(ms >= 500);
    }
    bool armed[TimerCount] = {};
};

class FakeSettings : public DialSettings {
  public:
    std::string CountryCode() const override { return countryCode; }
    bool OnlineOnly() const override { return onlineOnly; }
    std::string countryCode = "44";
    bool onlineOnly = false;
};

const char* const Vocabulary[] = {
    "CALL",
    "USERS",
    "USER",
    "ERROR",
    "USERSTATUS",
    "CONNSTATUS",
    "STATUS",
    "PARTNER_HANDLE",
    "ONLINESTATUS",
    "RINGING",
    "ROUTING",
    "INPROGRESS",
    "FINISHED",
    "FAILED",
    "MISSED",
    "REFUSED",
    "BUSY",
    "CANCELLED",
    "ONHOLD",
    "LOGGEDOUT",
    "ONLINE",
    "SKYPEOUT",
    "24",
    "68",
    "5",
    "71",
    "",
    "alice",
    "bob,",
    "Carol,",
    "call",
    "ringing",
    "PARTNER_DISPNAME",
    "Far",
    "anonymous",
    "2",
};
constexpr size_t VocabularySize = sizeof Vocabulary / sizeof Vocabulary[0];

const uint8_t Keys[] = {'0', '1', '2', '5', '9', '*', '#', 'B', 'C', 'D', ')', 21, 0};

bool StartsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The value between a command's fixed head and tail, or "" with matched false.
bool Between(const std::string& text, const std::string& head, const std::string& tail, std::string& value) {
    if (text.size() < head.size() + tail.size() || !StartsWith(text, head) || !EndsWith(text, tail))
        return false;
    value = text.substr(head.size(), text.size() - head.size() - tail.size());
    return true;
}

bool NoBlank(const std::string& value) {
    return !value.empty() && value.find(' ') == std::string::npos;
}

// What one step may have the bridge queue, given what the step was.
struct Allowed {
    std::set<std::string> callIds;     // ids the rules may name in SET CALL ... / GET CALL ...
    std::set<std::string> userHandles; // handles of a USERS answer
    bool userStatus = false;
    bool searchFriends = false;
    bool keyCommands = false;
    std::string keyCallId; // the current call's id when a key was pressed
    std::set<std::string>
        listed; // the calls list's numbers when a key was pressed: redial and the list call them
};

void CheckCommand(const Command& command, const Allowed& allowed, const CallBridge& bridge,
                  const std::set<std::string>& contactHandles, const std::string& typed,
                  const std::string& countryCode) {
    const std::string& text = command.text;
    std::string value;
    if (Between(text, "GET CALL ", " PARTNER_HANDLE", value) ||
        Between(text, "GET CALL ", " PARTNER_DISPNAME", value)) {
        FUZZ_CHECK(allowed.callIds.count(value) && bridge.CurrentCall() &&
                   bridge.CurrentCall()->callId == value);
        FUZZ_CHECK(command.tag != NoCall);
    } else if (Between(text, "SET CALL ", " STATUS FINISHED", value)) {
        FUZZ_CHECK(NoBlank(value));
        FUZZ_CHECK(allowed.callIds.count(value) || (allowed.keyCommands && value == allowed.keyCallId));
    } else if (Between(text, "GET USER ", " ONLINESTATUS", value)) {
        FUZZ_CHECK(allowed.userHandles.count(value) && NoBlank(value));
        FUZZ_CHECK(command.tag == NoCall);
    } else if (text == "GET USERSTATUS") {
        FUZZ_CHECK(allowed.userStatus);
    } else if (text == "SEARCH FRIENDS") {
        FUZZ_CHECK(allowed.searchFriends);
    } else if (Between(text, "set call ", " status inprogress", value)) {
        FUZZ_CHECK(allowed.keyCommands && value == allowed.keyCallId);
    } else if (Between(text.substr(0, text.size() - 1), "SET CALL ", " DTMF ", value)) {
        char tone = text.back();
        FUZZ_CHECK((tone >= '0' && tone <= '9') || tone == '*' || tone == '#');
        FUZZ_CHECK(allowed.keyCommands && value == allowed.keyCallId);
    } else if (StartsWith(text, "CALL ")) {
        FUZZ_CHECK(allowed.keyCommands);
        std::string target = text.substr(5);
        // Only a national number with its single trunk '0' is changed, and only by the country code in
        // the trunk's place; short numbers (emergency, service) never are.
        bool trunkNumber = typed.size() >= 6 && typed[0] == '0' && typed[1] != '0';
        bool typedNumber = target == typed || (trunkNumber && !countryCode.empty() &&
                                               target == "00" + countryCode + typed.substr(1));
        FUZZ_CHECK(typedNumber || contactHandles.count(target) || allowed.listed.count(target));
        FUZZ_CHECK(command.tag != NoCall);
    } else {
        FUZZ_CHECK(!"a command of no form of the program's own");
    }
}

// A notification built from the vocabulary, or bytes as they come; with any cbData.
std::string NextNotification(FuzzInput& input) {
    uint8_t kind = input.Byte();
    if (kind & 1) {
        std::string text;
        size_t words = 1 + input.Byte() % 6;
        for (size_t i = 0; i < words; ++i) {
            if (i)
                text += ' ';
            uint8_t pick = input.Byte();
            if (pick < 0xF0) {
                text += Vocabulary[pick % VocabularySize];
            } else {
                size_t length = input.Byte() % 16;
                for (size_t j = 0; j < length; ++j)
                    text += static_cast<char>(input.Byte());
            }
        }
        return NotificationText(text.data(), text.size());
    }
    // Raw bytes with a cbData that may be shorter or longer than the text, zero bytes inside included.
    size_t length = input.Byte() % 64;
    std::string bytes;
    for (size_t i = 0; i < length; ++i)
        bytes += static_cast<char>(input.Byte());
    size_t cbData = input.Byte() % 80;
    bytes.resize(std::max(bytes.size(), cbData), '\0');
    return NotificationText(cbData ? bytes.data() : nullptr, cbData);
}

} // namespace

FUZZ_TARGET(CallRules) {
    FuzzInput input(data, size);
    FakeSkype skype;
    FakeHandset handset;
    FakeTimers timers;
    FakeSettings settings;
    settings.onlineOnly = input.Byte() & 1;
    FakeWatcher watcher;
    CallBridge bridge(skype, handset, timers, settings);
    bridge.SetPhaseWatcher(&watcher);
    std::set<std::string> contactHandles;
    std::string typed; // the digits entered since number entry last began
    for (size_t steps = 0; input.RestSize() > 0 && steps < 256; ++steps) {
        size_t sentBefore = skype.sent.size();
        size_t handsetBefore = handset.steps.size();
        size_t contactsBefore = bridge.Contacts().Contacts().size();
        Allowed allowed;
        bool timerStep = false;
        uint8_t op = input.Byte() % 6;
        if (op == 0) {
            std::string text = NextNotification(input);
            ApiLine words(text);
            if (words[0] == "CALL" && words.Size() >= 2)
                allowed.callIds.insert(words[1]);
            if (words[0] == "USERS") {
                for (size_t i = 1; i < words.Size(); ++i) {
                    std::string name = words[i];
                    if (!name.empty() && name.back() == ',')
                        name.pop_back();
                    allowed.userHandles.insert(name);
                }
            }
            allowed.userStatus = (words[0] == "USERSTATUS" || words[0] == "CONNSTATUS") &&
                                 words.Size() >= 2 && words[1] == "LOGGEDOUT";
            bridge.HandleSkypeNotification(text);
        } else if (op == 1) {
            uint8_t pick = input.Byte();
            int32_t code = pick < 0xE0 ? Keys[pick % sizeof Keys] : static_cast<int32_t>(pick) - 0x100;
            allowed.keyCommands = true;
            if (bridge.CurrentCall())
                allowed.keyCallId = bridge.CurrentCall()->callId;
            for (const CallEntry& entry : bridge.Calls().Entries())
                allowed.listed.insert(entry.target);
            HandsetPhase before = bridge.Phase();
            std::string dialled = bridge.DialString();
            if ((code & 0xFF) == 'B')
                handset.engaged = false; // the end key: the handset has let go of the line itself
            bridge.HandleHandsetKey(code);
            typed = before == HandsetPhase::EnteringNumber ? dialled : bridge.DialString();
            if (before == HandsetPhase::KeysLost && (code & 0xFF) != 'B') {
                FUZZ_CHECK(bridge.Phase() == HandsetPhase::KeysLost && skype.sent.size() == sentBefore);
                FUZZ_CHECK(handset.steps.size() == handsetBefore &&
                           timers.armed[static_cast<int>(BridgeTimer::Notice)]);
            }
        } else if (op == 2) {
            int which = input.Byte() % TimerCount;
            if (timers.armed[which]) {
                timers.armed[which] = false;
                allowed.searchFriends = which == static_cast<int>(BridgeTimer::Contacts);
                timerStep = true;
                bridge.OnTimer(static_cast<BridgeTimer>(which));
            }
        } else if (op == 3) {
            settings.countryCode = input.Byte() & 1 ? "44" : "";
            bridge.OnDeviceStarted();
        } else if (op == 4) {
            // A key frame lost while a number is being chosen: nothing is left of the number.
            HandsetPhase before = bridge.Phase();
            bool choosing = before == HandsetPhase::Idle || before == HandsetPhase::RingEnded ||
                            before == HandsetPhase::KeysLost || before == HandsetPhase::EnteringNumber ||
                            before == HandsetPhase::BrowsingContacts || before == HandsetPhase::BrowsingCalls;
            bridge.OnHandsetFrameLost();
            FUZZ_CHECK(skype.sent.size() == sentBefore);
            FUZZ_CHECK(choosing ? bridge.Phase() == HandsetPhase::KeysLost && bridge.DialString().empty()
                                : bridge.Phase() == before);
        } else {
            // Skype went away: nothing of its calls is left, whatever the phase, and the handset is released
            // once the pause after a connect is over.
            HandsetPhase before = bridge.Phase();
            bool inCall = before == HandsetPhase::Dialling || before == HandsetPhase::Routing ||
                          before == HandsetPhase::Ringing || before == HandsetPhase::Answering ||
                          before == HandsetPhase::Talking;
            size_t stepsBefore = handset.steps.size();
            bridge.OnLinkLost();
            FUZZ_CHECK(!bridge.CurrentCall() && bridge.Phase() == HandsetPhase::Idle &&
                       bridge.DialString().empty());
            for (int pauses = 0; timers.armed[static_cast<int>(BridgeTimer::Release)]; ++pauses) {
                FUZZ_CHECK(pauses <= 256);
                timers.armed[static_cast<int>(BridgeTimer::Release)] = false;
                bridge.OnTimer(BridgeTimer::Release);
            }
            timerStep = true;
            FUZZ_CHECK(!handset.engaged);
            FUZZ_CHECK(!inCall || std::find(handset.steps.begin() + stepsBefore, handset.steps.end(),
                                            Step::Release) != handset.steps.end());
        }

        FUZZ_CHECK(watcher.phase == bridge.Phase());
        FUZZ_CHECK(HasCall(bridge.Phase()) == (bridge.CurrentCall() != nullptr));
        FUZZ_CHECK(bridge.Calls().Entries().size() <= CallLogCapacity);
        for (const CallEntry& entry : bridge.Calls().Entries()) {
            std::optional<CallEntry> stored = ParseCallEntryLine(CallEntryLine(entry));
            FUZZ_CHECK(stored && stored->target == entry.target && stored->name == entry.name);
        }
        if (const CallRecord* call = bridge.CurrentCall()) {
            FUZZ_CHECK(NoBlank(call->callId));
            FUZZ_CHECK(call->partnerHandle.find(' ') == std::string::npos);
        }
        for (const ContactRecord& contact : bridge.Contacts().Contacts())
            contactHandles.insert(contact.handle);
        FUZZ_CHECK(bridge.Contacts().Contacts().size() - contactsBefore <= MaxContactsPerAnswer);
        FUZZ_CHECK(contactHandles.size() == bridge.Contacts().Contacts().size());
        for (size_t i = sentBefore; i < skype.sent.size(); ++i)
            CheckCommand(skype.sent[i], allowed, bridge, contactHandles, typed, settings.countryCode);
        if (!timerStep) {
            auto begin = handset.steps.begin() + handsetBefore;
            auto connect = std::find(std::make_reverse_iterator(handset.steps.end()),
                                     std::make_reverse_iterator(begin), Step::Connect);
            FUZZ_CHECK(std::find(connect.base(), handset.steps.end(), Step::Release) == handset.steps.end() ||
                       connect.base() == begin);
        }
    }
    return 0;
}
