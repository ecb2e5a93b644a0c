// The agent's messages over any text, as SipLink reads and logs them: a message taken is a reply with its
// token or an event with its type, its fields being the object's string members; a command written with
// any texts reads back the same; the log line of any text is one line, bounded, with no password shown.
// The input is cut at its first two zero bytes: the message, then the command's name and its params
// (the message also serves as the token).
#include <cctype>
#include <string>

#include "fuzz/FuzzTarget.h"
#include "siplink/AgentMessage.h"
#include "siplink/Json.h"
#include "siplink/LogText.h"

namespace {

std::string StringMember(const JsonMembers& members, const char* name) {
    auto found = members.find(name);
    return found == members.end() || found->second.kind != JsonValue::String ? "" : found->second.text;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void CheckMessage(const std::string& text) {
    AgentMessage message;
    message.token = "before";
    if (!ParseAgentMessage(text, message)) {
        FUZZ_CHECK(message.token == "before");
        return;
    }
    JsonMembers members;
    FUZZ_CHECK(ParseJsonObject(text, members));
    if (message.kind == AgentMessage::Reply) {
        FUZZ_CHECK(!message.token.empty() && message.token == StringMember(members, "token"));
        FUZZ_CHECK(message.data == StringMember(members, "data"));
        FUZZ_CHECK(message.ok ==
                   (members.count("ok") && members.at("ok") == JsonValue{JsonValue::Literal, "true"}));
    } else {
        FUZZ_CHECK(!message.type.empty() && message.type == StringMember(members, "type"));
        FUZZ_CHECK(message.id == StringMember(members, "id"));
        FUZZ_CHECK(message.peerUri == StringMember(members, "peeruri"));
        FUZZ_CHECK(message.param == StringMember(members, "param"));
    }
}

void CheckCommand(const std::string& command, const std::string& params, const std::string& token) {
    JsonMembers members;
    FUZZ_CHECK(ParseJsonObject(AgentCommandJson(command, params, token), members));
    FUZZ_CHECK(StringMember(members, "command") == command);
    FUZZ_CHECK(StringMember(members, "params") == params);
    FUZZ_CHECK(members.count("params") == (params.empty() ? 0u : 1u));
    FUZZ_CHECK(StringMember(members, "token") == token);
}

void CheckLogText(const std::string& text) {
    std::string shown = LogText(text);
    FUZZ_CHECK(shown.find_first_of("\r\n") == std::string::npos);
    // Past the cut at most an escape or a hidden password, then the length.
    FUZZ_CHECK(shown.size() <= LogTextKept + 64);
    std::string lower = Lower(shown);
    for (size_t at = lower.find("auth_pass="); at != std::string::npos; at = lower.find("auth_pass=", at + 1))
        FUZZ_CHECK(lower.compare(at + 10, 3, "***") == 0);
}

} // namespace

FUZZ_TARGET(AgentMessages) {
    std::string all(reinterpret_cast<const char*>(data), size);
    size_t first = all.find('\0');
    size_t second = first == std::string::npos ? std::string::npos : all.find('\0', first + 1);
    std::string text = all.substr(0, first);
    std::string command = first == std::string::npos ? "" : all.substr(first + 1, second - first - 1);
    std::string params = second == std::string::npos ? "" : all.substr(second + 1);
    CheckMessage(text);
    CheckCommand(command, params, text);
    CheckLogText(all);
    return 0;
}
