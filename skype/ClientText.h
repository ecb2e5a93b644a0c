#pragma once
// The client's text and the program's: the client speaks UTF-8, the program keeps its text in the ANSI code
// page, as the window and the trace show it and the handset's display takes it.
#include <windows.h>

#include <string>

// The client's UTF-8 in the ANSI code page; a character the code page lacks becomes its best fit there
// ("Ł" is "L" in Western code pages), or '?' when it has none. Text that is not UTF-8 is taken as it is.
std::string ClientToProgramText(const std::string& utf8);
// The program's text as the client takes it, so that a name the client gave comes back as it was.
std::string ProgramToClientText(const std::string& ansi);
// The longest beginning of the text that fits `width` bytes without cutting a character of the code page
// in two (a double-byte character, or a UTF-8 sequence where that is the code page).
std::string CutToWidth(const std::string& text, size_t width, UINT codePage = CP_ACP);
