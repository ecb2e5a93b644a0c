#pragma once
// UTF-8, SipLink's own text, and Windows' UTF-16, both ways.
#include <string>

// Text that is not valid UTF-8 (what earlier versions stored in the ANSI code page) is taken as ANSI.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
