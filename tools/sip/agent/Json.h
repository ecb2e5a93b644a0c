#pragma once
// Just enough JSON for the user agent's messages: flat objects whose values are read as text, and
// strings written with the escapes JSON needs.
#include <cstddef>
#include <map>
#include <string>

struct JsonValue {
    // String: unescaped (\uXXXX above 0xFF becomes '?', the text being 8-bit); Literal: true, false, null or
    // a number as written; Nested: an object or array, checked and kept as written.
    enum Kind { String, Literal, Nested } kind = Literal;
    std::string text;
    bool operator==(const JsonValue& other) const { return kind == other.kind && text == other.text; }
};
using JsonMembers = std::map<std::string, JsonValue>;

// Objects and arrays nested deeper than this (the outer object counting as 1) make the text refused, and so
// does an object of more members than JsonMaxMembers: the agent's messages are flat and small.
constexpr int JsonMaxDepth = 32;
constexpr size_t JsonMaxMembers = 64;

// The members of one object; answers false when the text is not one whole JSON object or nests too deep.
bool ParseJsonObject(const std::string& text, JsonMembers& members);

// A JSON string literal, quotes included.
std::string JsonString(const std::string& text);
