#pragma once
// The text of one Skype notification as it arrives in a WM_COPYDATA block. Plain C++, no window.
#include <cstddef>
#include <string>

// The bytes up to the first zero byte, and never past the size Skype gave; no data gives "".
std::string NotificationText(const void* data, size_t size);
