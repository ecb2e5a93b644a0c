// The JSON reader over any text: a text refused leaves the members as they were; a text taken nests no
// deeper than the limit and has no more members than the limit, and its members written again read back
// the same.
#include <algorithm>
#include <string>

#include "fuzz/FuzzTarget.h"
#include "siplink/Json.h"

namespace {

// The deepest nesting of objects and arrays outside strings; for a text the reader took.
int Depth(const std::string& text) {
    int depth = 0, deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

std::string Written(const JsonMembers& members) {
    std::string text = "{";
    for (const auto& [name, value] : members)
        text += (text.size() > 1 ? "," : "") + JsonString(name) + ":" +
                (value.kind == JsonValue::String ? JsonString(value.text) : value.text);
    return text + "}";
}

} // namespace

FUZZ_TARGET(Json) {
    std::string text(reinterpret_cast<const char*>(data), size);
    JsonMembers members{{"kept", {JsonValue::String, "yes"}}};
    if (!ParseJsonObject(text, members)) {
        FUZZ_CHECK(members.size() == 1 && members.at("kept") == (JsonValue{JsonValue::String, "yes"}));
        return 0;
    }
    FUZZ_CHECK(Depth(text) <= JsonMaxDepth);
    FUZZ_CHECK(members.size() <= JsonMaxMembers);
    for (const auto& [name, value] : members) {
        FUZZ_CHECK(value.kind != JsonValue::Nested ||
                   (!value.text.empty() && Depth(value.text) < JsonMaxDepth));
        FUZZ_CHECK(value.kind != JsonValue::Literal || !value.text.empty());
    }
    JsonMembers again;
    FUZZ_CHECK(ParseJsonObject(Written(members), again));
    FUZZ_CHECK(again == members);
    return 0;
}
