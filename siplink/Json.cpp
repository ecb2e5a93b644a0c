#include "siplink/Json.h"

#include <cstdio>
#include <cstring>

namespace {

class Parser {
  public:
    explicit Parser(const std::string& text) : text(text) {}

    bool Object(JsonMembers* members) {
        if (!Take('{'))
            return false;
        if (Take('}'))
            return true;
        do {
            std::string name;
            JsonValue value;
            Blanks();
            if (!String(name) || !Take(':') || !Value(value))
                return false;
            if (members)
                (*members)[name] = value;
        } while (Take(','));
        return Take('}');
    }

    bool AtEnd() {
        Blanks();
        return position == text.size();
    }

  private:
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

    bool Value(JsonValue& value) {
        Blanks();
        if (position >= text.size())
            return false;
        size_t start = position;
        char c = text[position];
        if (c == '"') {
            value.kind = JsonValue::String;
            return String(value.text);
        }
        if (c == '{' || c == '[') {
            value.kind = JsonValue::Nested;
            if (!(c == '{' ? Object(nullptr) : Array()))
                return false;
            value.text = text.substr(start, position - start);
            return true;
        }
        while (position < text.size() && !std::strchr(",}] \t\r\n", text[position]))
            ++position;
        value.kind = JsonValue::Literal;
        value.text = text.substr(start, position - start);
        return Literal(value.text);
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
        if (Take(']'))
            return true;
        JsonValue ignored;
        do {
            if (!Value(ignored))
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
