#include "tools/sip/agent/AgentMessage.h"

#include "tools/sip/agent/Json.h"

namespace {

// A string member's text; "" when missing or not a string.
std::string Member(const JsonMembers& members, const char* name) {
    auto found = members.find(name);
    return found == members.end() || found->second.kind != JsonValue::String ? "" : found->second.text;
}

bool IsTrue(const JsonMembers& members, const char* name) {
    auto found = members.find(name);
    return found != members.end() && found->second == JsonValue{JsonValue::Literal, "true"};
}

} // namespace

bool ParseAgentMessage(const std::string& json, AgentMessage& message) {
    JsonMembers members;
    if (!ParseJsonObject(json, members))
        return false;
    AgentMessage parsed;
    if (IsTrue(members, "response")) {
        parsed.kind = AgentMessage::Reply;
        parsed.token = Member(members, "token");
        parsed.ok = IsTrue(members, "ok");
        parsed.data = Member(members, "data");
        if (parsed.token.empty())
            return false;
    } else if (IsTrue(members, "event")) {
        parsed.kind = AgentMessage::Event;
        parsed.type = Member(members, "type");
        parsed.id = Member(members, "id");
        parsed.direction = Member(members, "direction");
        parsed.peerUri = Member(members, "peeruri");
        parsed.peerName = Member(members, "peerdisplayname");
        parsed.param = Member(members, "param");
        if (parsed.type.empty())
            return false;
    } else {
        return false;
    }
    message = parsed;
    return true;
}

std::string AgentCommandJson(const std::string& command, const std::string& params,
                             const std::string& token) {
    std::string json = "{\"command\":" + JsonString(command);
    if (!params.empty())
        json += ",\"params\":" + JsonString(params);
    return json + ",\"token\":" + JsonString(token) + "}";
}
