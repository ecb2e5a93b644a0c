#pragma once
// What one log line shows of a text: line breaks written as "\n" and "\r" so that an event stays one line,
// and a long text cut, its length said. No password ever reaches a text SipLink logs: the phone takes it
// as a setting of its own.
#include <cstddef>
#include <string>

// The most of a text a line shows.
constexpr size_t LogTextKept = 1024;

std::string LogText(const std::string& text);
