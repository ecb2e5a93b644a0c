#include "skype/NotificationText.h"

#include <cstring>

std::string NotificationText(const void* data, size_t size) {
    if (!data || size == 0)
        return "";
    const char* bytes = static_cast<const char*>(data);
    const void* zero = std::memchr(bytes, 0, size);
    return std::string(bytes, zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : size);
}
