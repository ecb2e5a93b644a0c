// The phone's facade on the window thread: requests into the stack's inbox, events out of its queue.
#include "siplink/phone/Phone.h"

#include "siplink/phone/Stack.h"

namespace phone {

Phone::Phone(HWND window, UINT message, SoundFactory sound)
    : stack(std::make_unique<Stack>(
          [window, message] { return PostMessageA(window, message, 0, 0) != FALSE; }, std::move(sound))) {}

Phone::~Phone() = default;

bool Phone::Started() const {
    return stack->Started();
}

void Phone::Apply(const Settings& settings, bool registerAgain) {
    Command command;
    command.kind = Command::Kind::Apply;
    command.settings = settings;
    command.registerAgain = registerAgain;
    stack->Push(std::move(command));
}

void Phone::Unregister() {
    Command command;
    command.kind = Command::Kind::Unregister;
    stack->Push(std::move(command));
}

void Phone::Register() {
    Command command;
    command.kind = Command::Kind::Register;
    stack->Push(std::move(command));
}

CallId Phone::Dial(const std::string& target) {
    Command command;
    command.kind = Command::Kind::Dial;
    command.call = stack->NewCallId();
    command.target = target;
    CallId id = command.call;
    stack->Push(std::move(command));
    return id;
}

void Phone::Answer(CallId call) {
    Command command;
    command.kind = Command::Kind::Answer;
    command.call = call;
    stack->Push(std::move(command));
}

void Phone::Hangup(CallId call) {
    Command command;
    command.kind = Command::Kind::Hangup;
    command.call = call;
    stack->Push(std::move(command));
}

void Phone::SendDigit(CallId call, char key) {
    Command command;
    command.kind = Command::Kind::Digit;
    command.call = call;
    command.key = key;
    stack->Push(std::move(command));
}

void Phone::DevicesChanged() {
    Command command;
    command.kind = Command::Kind::DevicesChanged;
    stack->Push(std::move(command));
}

void Phone::WatchPresence(const std::vector<std::string>& uris) {
    Command command;
    command.kind = Command::Kind::Watch;
    command.uris = uris;
    stack->Push(std::move(command));
}

std::vector<Event> Phone::TakeEvents() {
    return stack->TakeEvents();
}

} // namespace phone
