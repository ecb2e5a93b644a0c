// SipLink's link and line with any sequence of the program's commands, the phone's call, presence and
// registration events, stored accounts, ticks, the program's coming and going and the line's loss.
// Checked after every step: one call at most holds the line, the program's ids are never given twice and
// grow, the phone is asked to answer only a call being answered and to send tones only in a talking call,
// the line is offered only while registered or held for a call, and nothing of a call is left for the
// program once the line is gone.
#include <set>
#include <string>
#include <vector>

#include "fuzz/FuzzTarget.h"
#include "siplink/Line.h"
#include "siplink/SipLink.h"

namespace {

using State = LinkCall::State;

class Recorder : public PhonePort, public LinkOutput, public LineOutput {
  public:
    void Apply(const phone::Settings&, bool) override {}
    void Register() override {}
    void Unregister() override {}
    phone::CallId Dial(const std::string&) override { return nextCall++; }
    void Answer(phone::CallId call) override { answered.push_back(call); }
    void Hangup(phone::CallId) override {}
    void SendDigit(phone::CallId call, char) override { digits.push_back(call); }
    void WatchPresence(const std::vector<std::string>&) override {}
    void DevicesChanged() override {}
    std::vector<phone::Event> TakeEvents() override { return {}; }

    bool Notify(const std::string& text) override {
        FUZZ_CHECK(text.find_first_of("\r\n") == std::string::npos);
        return attached;
    }
    void Log(const std::string&, const std::string&) override {}
    void Offer(bool now) override { offered = now; }
    void Changed() override {}

    phone::CallId nextCall = 1000;
    std::vector<phone::CallId> answered, digits;
    bool attached = true;
    bool offered = false;
};

const char* const Uris[] = {"sip:alice@127.0.0.1:5060",        "sip:42@host",
                            "sip:anonymous@anonymous.invalid", "",
                            "<sip:%41b@h;user=phone>",         "sip:bob@127.0.0.1:5080"};
const char* const Targets[] = {"42", "bob", "alice", "sip:x@y", "+4930", "112_sip", "", "a b"};
const char* const Properties[] = {"STATUS INPROGRESS", "STATUS FINISHED", "DTMF 5", "DTMF x",
                                  "STATUS RINGING"};

Account Stored(uint8_t which) {
    Account account;
    account.address = which % 3 == 0 ? "" : which % 3 == 1 ? "alice@127.0.0.1" : "bob@127.0.0.1";
    account.password = which & 4 ? "pw" : "other";
    account.speaker = which & 8 ? "USB" : "";
    return account;
}

phone::Event Of(phone::Event::Kind kind, phone::CallId call) {
    phone::Event event;
    event.kind = kind;
    event.call = call;
    return event;
}

} // namespace

FUZZ_TARGET(LinkCalls) {
    FuzzInput input(data, size);
    Recorder recorder;
    SipLink link(recorder, recorder);
    Line line(&recorder, link, recorder);
    link.SetContacts(
        ParseContactsFile("\"bob\" <sip:bob@127.0.0.1:5080>\n\"alice\" <sip:alice@127.0.0.1:5060>\n"));
    uint32_t now = 0;
    line.Start(Stored(1), "49", now);
    unsigned lastId = 0;
    std::set<unsigned> ids;
    for (int steps = 0; input.RestSize() > 0 && steps < 400; ++steps) {
        uint8_t what = input.Byte(), a = input.Byte(), b = input.Byte();
        // The phone's ids of the calls it placed and of some that came in.
        phone::CallId call = a & 1 ? recorder.nextCall - 1 - (a >> 1) % 3 : 1 + a % 6;
        size_t answeredBefore = recorder.answered.size(), digitsBefore = recorder.digits.size();
        switch (what % 12) {
        case 0:
            link.Command("CALL " + std::string(Targets[a % 8]));
            break;
        case 1:
            link.Command("SET CALL " + std::to_string(a % 10) + " " + Properties[b % 5]);
            break;
        case 2:
            link.Command(std::string(b & 1 ? "GET CALL " : "get call ") + std::to_string(a % 10) +
                         (b & 2 ? " PARTNER_HANDLE" : " PARTNER_DISPNAME"));
            break;
        case 3:
            link.Command(a & 1 ? "SEARCH FRIENDS" : "GET USER bob ONLINESTATUS");
            break;
        case 4: {
            phone::Event event = Of(phone::Event::Kind::Incoming, 1 + a % 6);
            event.peerUri = Uris[b % 6];
            event.peerName = b & 8 ? "Far End" : "";
            link.OnPhoneEvent(event);
            break;
        }
        case 5: {
            phone::Event event = Of(phone::Event::Kind::Progress, call);
            event.earlyMedia = b & 1;
            link.OnPhoneEvent(event);
            break;
        }
        case 6:
            link.OnPhoneEvent(Of(phone::Event::Kind::Established, call));
            break;
        case 7: {
            phone::Event event = Of(phone::Event::Kind::Closed, call);
            event.end = static_cast<phone::CallEnd>(b % 15);
            event.code = b;
            link.OnPhoneEvent(event);
            break;
        }
        case 8: {
            phone::Event event = Of(phone::Event::Kind::Presence, 0);
            event.peerUri = Uris[a % 6];
            event.presence = static_cast<phone::Event::PresenceState>(b % 4);
            link.OnPhoneEvent(event);
            break;
        }
        case 9: {
            phone::Event event = Of(phone::Event::Kind::Registration, 0);
            event.registration = static_cast<phone::Event::RegState>(a % 5);
            event.code = b % 2 ? 403 : 0;
            line.OnRegistration(event, now);
            break;
        }
        case 10:
            if (a % 4 == 0) {
                line.Stored(Stored(b), "49", now);
            } else if (a % 4 == 1) {
                recorder.attached = false;
                link.ClientGone();
            } else if (a % 4 == 2) {
                recorder.attached = true;
                link.ClientAttached();
            } else {
                link.LineLost();
                for (const LinkCall& known : link.Calls())
                    FUZZ_CHECK(!ForProgram(known));
            }
            break;
        default:
            now += static_cast<uint32_t>(a) * 1000u;
            line.Tick(now);
            break;
        }
        line.Review(now);

        int holding = 0;
        for (const LinkCall& known : link.Calls()) {
            holding += ForProgram(known);
            if (known.id != 0 && ids.insert(known.id).second) {
                FUZZ_CHECK(known.id > lastId);
                lastId = known.id;
            }
        }
        FUZZ_CHECK(holding <= 1);
        FUZZ_CHECK(link.InCall() == (holding == 1));
        // The phone answers a call the program is answering, and sends tones only in a call that talks.
        for (size_t i = answeredBefore; i < recorder.answered.size(); ++i) {
            bool answering = false;
            for (const LinkCall& known : link.Calls())
                answering =
                    answering || (known.phoneId == recorder.answered[i] && known.state == State::Answering);
            FUZZ_CHECK(answering);
        }
        for (size_t i = digitsBefore; i < recorder.digits.size(); ++i) {
            bool talking = false;
            for (const LinkCall& known : link.Calls())
                talking = talking || (known.phoneId == recorder.digits[i] && known.state == State::Talking);
            FUZZ_CHECK(talking);
        }
        FUZZ_CHECK(line.Offered() == recorder.offered);
        FUZZ_CHECK(!line.Offered() || line.State().Registered() || link.InCall());
    }
    line.Close();
    for (const LinkCall& known : link.Calls())
        FUZZ_CHECK(!ForProgram(known));
    return 0;
}
