#include "tools/sip/agent/Json.h"

#include <cstdio>
#include <cstring>

namespace {

class Parser {
  public:
    explicit Parser(const std::string& text) : text(text) {}

    bool Object(JsonMembers* members) {
        if (!Take('{'))
            return false;
        Level level(depth);
        if (depth > JsonMaxDepth)
            return false;
        if (Take('}'))
            return true;
        do {
            std::string name;
            JsonValue value;
            Blanks();
            if (!String(name) || !Take(':') || !Value(members ? &value : nullptr))
                return false;
            if (members) {
                (*members)[name] = std::move(value);
                if (members->size() > JsonMaxMembers)
                    return false;
            }
        } while (Take(','));
        return Take('}');
    }

    bool AtEnd() {
        Blanks();
        return position == text.size();
    }

  private:
    // Counts one level of nesting for as long as it lives: the reader recurses once per level.
    struct Level {
        explicit Level(int& depth) : depth(++depth) {}
        ~Level() { --depth; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;
        int& depth;
    };

    void Blanks() {
        while (position < text.size() && std::strchr(" \t\r\n", text[position]) && text[position] != '\0')
            ++position;
    }

    bool Take(char c) {
        Blanks();
        if (position < text.size() && text[position] == c) {
            ++position;
            return true;
        }
        return false;
    }

    // One value; its text is kept only when `value` is given, so that what is nested is read once.
    bool Value(JsonValue* value) {
        Blanks();
        if (position >= text.size())
            return false;
        size_t start = position;
        char c = text[position];
        JsonValue::Kind kind = c == '"'               ? JsonValue::String
                               : c == '{' || c == '[' ? JsonValue::Nested
                                                      : JsonValue::Literal;
        std::string unescaped;
        bool good = false;
        if (kind == JsonValue::String) {
            good = String(unescaped);
        } else if (kind == JsonValue::Nested) {
            good = c == '{' ? Object(nullptr) : Array();
        } else {
            while (position < text.size() && !std::strchr(",}] \t\r\n", text[position]))
                ++position;
            good = Literal(text.substr(start, position - start));
        }
        if (good && value) {
            value->kind = kind;
            value->text =
                kind == JsonValue::String ? std::move(unescaped) : text.substr(start, position - start);
        }
        return good;
    }

    static bool Literal(const std::string& word) {
        if (word == "true" || word == "false" || word == "null")
            return true;
        char* end = nullptr;
        std::strtod(word.c_str(), &end);
        return !word.empty() && end == word.c_str() + word.size();
    }

    bool Array() {
        Take('[');
        Level level(depth);
        if (depth > JsonMaxDepth)
            return false;
        if (Take(']'))
            return true;
        do {
            if (!Value(nullptr))
                return false;
        } while (Take(','));
        return Take(']');
    }

    bool String(std::string& value) {
        if (position >= text.size() || text[position] != '"')
            return false;
        ++position;
        value.clear();
        while (position < text.size()) {
            char c = text[position++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (position >= text.size())
                return false;
            char escape = text[position++];
            const char* plain = std::strchr("\"\\/bfnrt", escape);
            if (plain && escape != '\0') {
                value += "\"\\/\b\f\n\r\t"[plain - "\"\\/bfnrt"];
            } else if (escape == 'u' && position + 4 <= text.size()) {
                unsigned code = 0;
                for (int i = 0; i < 4; ++i) {
                    char h = text[position++];
                    const char* digit = std::strchr("0123456789abcdef", h | 0x20);
                    if (!digit || h == '\0')
                        return false;
                    code = code * 16 + unsigned(digit - "0123456789abcdef");
                }
                value += code <= 0xFF ? char(code) : '?';
            } else {
                return false;
            }
        }
        return false;
    }

    const std::string& text;
    size_t position = 0;
    int depth = 0;
};

} // namespace

bool ParseJsonObject(const std::string& text, JsonMembers& members) {
    Parser parser(text);
    JsonMembers parsed;
    if (!parser.Object(&parsed) || !parser.AtEnd())
        return false;
    members = std::move(parsed);
    return true;
}

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}
