#pragma once
// What one log line shows of a text: line breaks written as "\n" and "\r" so that an event stays one line,
// passwords (an account's auth_pass) hidden, and a long text cut, its length said.
#include <cstddef>
#include <string>

// The most of a text a line shows.
constexpr size_t LogTextKept = 1024;

std::string LogText(const std::string& text);
