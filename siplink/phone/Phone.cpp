// The phone's facade on the window thread: requests into the stack's inbox, events out of its queue.
#include "siplink/phone/Phone.h"

#include "siplink/phone/Stack.h"

namespace phone {

namespace {

Command Order(Command::Kind kind, CallId call = 0) {
    Command command;
    command.kind = kind;
    command.call = call;
    return command;
}

} // namespace

Phone::Phone(HWND window, UINT message, SoundFactory sound)
    : stack(std::make_unique<Stack>(
          [window, message] { return PostMessageA(window, message, 0, 0) != FALSE; }, std::move(sound))) {}

Phone::~Phone() = default;

bool Phone::Started() const {
    return stack->Started();
}

void Phone::Apply(const Settings& settings, bool registerAgain) {
    Command command = Order(Command::Kind::Apply);
    command.settings = settings;
    command.registerAgain = registerAgain;
    stack->Push(std::move(command));
}

void Phone::Unregister() {
    stack->Push(Order(Command::Kind::Unregister));
}

void Phone::Register() {
    stack->Push(Order(Command::Kind::Register));
}

CallId Phone::Dial(const std::string& target) {
    const CallId call = stack->NewCallId();
    Command command = Order(Command::Kind::Dial, call);
    command.target = target;
    stack->Push(std::move(command));
    return call;
}

void Phone::Answer(CallId call) {
    stack->Push(Order(Command::Kind::Answer, call));
}

void Phone::Hangup(CallId call) {
    stack->Push(Order(Command::Kind::Hangup, call));
}

void Phone::SendDigit(CallId call, char key) {
    Command command = Order(Command::Kind::Digit, call);
    command.key = key;
    stack->Push(std::move(command));
}

void Phone::DevicesChanged() {
    stack->Push(Order(Command::Kind::DevicesChanged));
}

void Phone::WatchPresence(const std::vector<std::string>& uris) {
    Command command = Order(Command::Kind::Watch);
    command.uris = uris;
    stack->Push(std::move(command));
}

std::vector<Event> Phone::TakeEvents() {
    return stack->TakeEvents();
}

} // namespace phone
