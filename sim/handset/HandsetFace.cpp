#include "sim/handset/HandsetFace.h"

namespace {

// The release byte the program echoes back; the handset never looks at the echo.
constexpr uint8_t ReleaseEcho = 0x01;

std::string Padded(std::string text) {
    text.resize(HandsetDisplayWidth, ' ');
    return text;
}

} // namespace

bool HandsetFace::operator==(const HandsetFace& other) const {
    return status == other.status && line == other.line && ringing == other.ringing &&
           skypeLight == other.skypeLight && callLight == other.callLight && plugged == other.plugged;
}

HandsetFace FaceOf(const HandsetView& view, bool plugged) {
    HandsetFace face;
    face.plugged = plugged;
    face.ringing = plugged && view.ringing;
    face.status = !plugged ? "NO BASE" : view.ringing ? "RINGING" : view.inCall ? "IN CALL" : "";
    face.line = Padded(face.ringing ? view.caller : view.display);
    face.skypeLight = plugged && view.skypeLight;
    face.callLight = plugged && view.callLight;
    return face;
}

HandsetAction ActionOfCharacter(char character) {
    bool keypad = (character >= '0' && character <= '9') || character == '*' || character == '#';
    return keypad ? HandsetAction::Key : HandsetAction::None;
}

bool PerformHandsetAction(HandsetAction action, char key) {
    switch (action) {
    case HandsetAction::Key:
        return HandsetPressKey(static_cast<uint8_t>(key));
    case HandsetAction::Talk:
        return HandsetTakeLine();
    case HandsetAction::End:
        return HandsetHangUp(ReleaseEcho);
    case HandsetAction::None:
        break;
    }
    return false;
}
