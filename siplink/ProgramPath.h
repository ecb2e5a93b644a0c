#pragma once
// Where SipLink.exe itself lies, found one way for all of SipLink.
#include <string>

// The full path of the running program; "" when Windows cannot say it.
std::wstring ProgramPath();
