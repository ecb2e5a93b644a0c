// The agent's wire format: netstrings around JSON objects, read as they arrive from TCP.
#include <gtest/gtest.h>

#include <algorithm>

#include "siplink/AgentMessage.h"
#include "siplink/Json.h"
#include "siplink/Netstring.h"

namespace {

std::vector<std::string> Feed(NetstringReader& reader, const std::string& bytes,
                              std::string* skipped = nullptr) {
    reader.Append(bytes.data(), bytes.size());
    std::vector<std::string> messages;
    std::string message, dropped;
    while (reader.Next(message, dropped))
        messages.push_back(message);
    if (skipped)
        *skipped = dropped;
    return messages;
}

TEST(Netstring, MessagesComeWholeHoweverTheReadsCutThem) {
    EXPECT_EQ(EncodeNetstring("{\"a\":1}"), "7:{\"a\":1},");
    EXPECT_EQ(EncodeNetstring(""), "0:,");

    std::string stream = EncodeNetstring("{\"first\":true}") + EncodeNetstring("") + EncodeNetstring("{}");
    NetstringReader byteByByte;
    std::vector<std::string> seen;
    for (char c : stream)
        for (const std::string& message : Feed(byteByByte, std::string(1, c)))
            seen.push_back(message);
    EXPECT_EQ(seen, (std::vector<std::string>{"{\"first\":true}", "", "{}"}));

    NetstringReader oneRead;
    EXPECT_EQ(Feed(oneRead, stream + "5:{\"a\""), (std::vector<std::string>{"{\"first\":true}", "", "{}"}));
    EXPECT_EQ(Feed(oneRead, ":"), std::vector<std::string>{}) << "the comma has not come yet";
    EXPECT_EQ(Feed(oneRead, ","), (std::vector<std::string>{"{\"a\":"}));
}

TEST(Netstring, BrokenFramingIsSkippedUpToTheNextMessage) {
    NetstringReader reader;
    std::string skipped;
    EXPECT_EQ(Feed(reader, "garbage 2:{}," + EncodeNetstring("ok"), &skipped),
              (std::vector<std::string>{"{}", "ok"}));
    EXPECT_EQ(skipped, "garbage ");

    // A payload whose comma is missing: the frame is dropped, the next one is found.
    EXPECT_EQ(Feed(reader, "2:{}X" + EncodeNetstring("next"), &skipped), (std::vector<std::string>{"next"}));
    EXPECT_FALSE(skipped.empty());

    // A length beyond the limit or with a leading zero is not waited for.
    EXPECT_EQ(Feed(reader, "99999999:x" + EncodeNetstring("after"), &skipped),
              (std::vector<std::string>{"after"}));
    EXPECT_EQ(Feed(reader, "01:x," + EncodeNetstring("z"), &skipped), (std::vector<std::string>{"z"}));
}

TEST(Netstring, AWholeBrokenFrameOfTheLongestLengthIsSkippedAsItArrives) {
    // Digits all through the payload: each is a place where a message could start.
    std::string payload;
    while (payload.size() < NetstringReader::MaxLength)
        payload += " <sip:bob@127.0.0.1:5080>";
    payload.resize(NetstringReader::MaxLength);
    std::string frame = std::to_string(payload.size()) + ":" + payload + "X";
    NetstringReader reader;
    std::vector<std::string> messages;
    std::string skipped;
    std::string stream = frame + EncodeNetstring("after");
    for (size_t at = 0; at < stream.size(); at += 4096) {
        std::string message;
        reader.Append(stream.data() + at, std::min<size_t>(4096, stream.size() - at));
        while (reader.Next(message, skipped))
            messages.push_back(message);
    }
    EXPECT_EQ(messages, std::vector<std::string>{"after"});
    EXPECT_EQ(skipped, frame) << "every byte of the broken frame is reported, once";
}

TEST(Json, MembersAreReadAsTextWithEscapesUndone) {
    JsonMembers members;
    ASSERT_TRUE(ParseJsonObject(" {\"data\":\"line\\none \\\"q\\\" \\\\ \\u0041\\u00e9\\u263a\", "
                                "\"ok\":true, \"n\":-1.5e3, \"x\":null,"
                                " \"nested\":{\"a\":[1,{\"b\":\"}\"}],\"c\":{}}, \"empty\":\"\"} ",
                                members));
    EXPECT_EQ(members["data"].text, "line\none \"q\" \\ A\xe9?");
    EXPECT_EQ(members["ok"].text, "true");
    EXPECT_EQ(members["n"].text, "-1.5e3");
    EXPECT_EQ(members["x"].text, "null");
    EXPECT_EQ(members["nested"].text, "{\"a\":[1,{\"b\":\"}\"}],\"c\":{}}");
    EXPECT_EQ(members["empty"].text, "");
    EXPECT_EQ(members["ok"].kind, JsonValue::Literal);
    EXPECT_EQ(members["empty"].kind, JsonValue::String);
    EXPECT_EQ(members["nested"].kind, JsonValue::Nested);
    EXPECT_TRUE(ParseJsonObject("{}", members));
    EXPECT_TRUE(members.empty());
}

TEST(Json, AnythingButOneWholeObjectIsRefused) {
    JsonMembers members{{"kept", {JsonValue::String, "yes"}}};
    for (const char* broken :
         {"", "[]", "{", "{\"a\"}", "{\"a\":}", "{\"a\":1,}", "{\"a\":1} x", "{\"a\":\"open}", "{\"a\":tru}",
          "{\"a\":\"\\q\"}", "{\"a\":\"\\u12\"}", "{a:1}", "{\"a\":[1,}", "{\"a\":\"line\nbreak\"}"})
        EXPECT_FALSE(ParseJsonObject(broken, members)) << broken;
    EXPECT_EQ(members.size(), 1u) << "a refused text left the members changed";
}

TEST(Json, NestingIsReadUpToItsLimitAndDeeperIsRefused) {
    auto nested = [](int levels) {
        std::string text = "{\"a\":";
        for (int i = 1; i < levels; ++i)
            text += i % 2 ? "[" : "{\"b\":";
        text += "1";
        for (int i = levels - 1; i >= 1; --i)
            text += i % 2 ? "]" : "}";
        return text + "}";
    };
    JsonMembers members;
    ASSERT_TRUE(ParseJsonObject(nested(JsonMaxDepth), members));
    EXPECT_EQ(members["a"].kind, JsonValue::Nested);
    EXPECT_FALSE(ParseJsonObject(nested(JsonMaxDepth + 1), members));
    // About 40 KB of brackets, far below the longest message: refused, not a stack overflow.
    EXPECT_FALSE(
        ParseJsonObject("{\"a\":" + std::string(40000, '[') + std::string(40000, ']') + "}", members));
    EXPECT_FALSE(ParseJsonObject(std::string(40000, '{'), members));
    AgentMessage message;
    EXPECT_FALSE(ParseAgentMessage("{\"event\":true,\"type\":\"CALL_CLOSED\",\"x\":" +
                                       std::string(40000, '[') + std::string(40000, ']') + "}",
                                   message));
}

TEST(Json, AnObjectOfMoreMembersThanTheLimitIsRefused) {
    std::string text = "{";
    for (size_t i = 0; i < JsonMaxMembers; ++i)
        text += "\"m" + std::to_string(i) + "\":1,";
    JsonMembers members;
    EXPECT_TRUE(ParseJsonObject(text + "\"m0\":2}", members)) << "a name given twice counts once";
    EXPECT_EQ(members.size(), JsonMaxMembers);
    EXPECT_FALSE(ParseJsonObject(text + "\"one more\":2}", members));
}

TEST(Json, StringsAreWrittenSoTheyReadBack) {
    std::string text = "sip:\"a\"\\b\n\x01 ok";
    JsonMembers members;
    ASSERT_TRUE(ParseJsonObject("{\"v\":" + JsonString(text) + "}", members)) << JsonString(text);
    EXPECT_EQ(members["v"].text, text);
}

TEST(AgentMessage, RepliesAndEventsAreToldApart) {
    AgentMessage message;
    ASSERT_TRUE(ParseAgentMessage("{\"response\":true,\"ok\":false,\"data\":\"command not found (foo)\\n\","
                                  "\"token\":\"t1\"}",
                                  message));
    EXPECT_EQ(message.kind, AgentMessage::Reply);
    EXPECT_FALSE(message.ok);
    EXPECT_EQ(message.token, "t1");
    EXPECT_EQ(message.data, "command not found (foo)\n");

    ASSERT_TRUE(ParseAgentMessage(
        "{\"event\":true,\"type\":\"CALL_INCOMING\",\"class\":\"call\",\"accountaor\":\"sip:bob@127.0.0.1:"
        "5080\","
        "\"direction\":\"incoming\",\"peeruri\":\"sip:alice@127.0.0.1:5060\",\"peerdisplayname\":\"Alice\","
        "\"id\":\"4a4874c648ae331b\",\"param\":\"sip:alice@127.0.0.1:5060\"}",
        message));
    EXPECT_EQ(message.kind, AgentMessage::Event);
    EXPECT_EQ(message.type, "CALL_INCOMING");
    EXPECT_EQ(message.id, "4a4874c648ae331b");
    EXPECT_EQ(message.direction, "incoming");
    EXPECT_EQ(message.peerUri, "sip:alice@127.0.0.1:5060");
    EXPECT_EQ(message.peerName, "Alice");

    for (const char* other : {"{\"ok\":true}", "{\"response\":true,\"ok\":true}", "{\"event\":true}",
                              "{\"event\":\"true\",\"type\":\"X\"}", "not json"})
        EXPECT_FALSE(ParseAgentMessage(other, message)) << other;

    EXPECT_EQ(AgentCommandJson("dial", "sip:bob@127.0.0.1:5080", "A1"),
              "{\"command\":\"dial\",\"params\":\"sip:bob@127.0.0.1:5080\",\"token\":\"A1\"}");
    EXPECT_EQ(AgentCommandJson("accept", "", "7"), "{\"command\":\"accept\",\"token\":\"7\"}");
}

} // namespace
