#pragma once
// The one walk over UTF-8 text that SipLink's names and texts are built on.
#include <cstddef>
#include <string>

// The length of the well-formed UTF-8 character at `at` (its code point in `code`); 0 when none starts
// there: a stray or cut-short byte, an overlong form, a surrogate or a code beyond Unicode.
size_t Utf8CharacterAt(const std::string& text, size_t at, unsigned& code);

// The text with each byte that does not belong to a well-formed UTF-8 character replaced by '?'.
std::string ValidUtf8(const std::string& text);
