#include "siplink/sound/BaseDevice.h"

namespace sound {

std::string BaseDevice(const std::vector<std::string>& names) {
    for (const std::string& name : names)
        if (name.find("USB") != std::string::npos && name.compare(0, 11, "Monitor of ") != 0)
            return name;
    return std::string();
}

} // namespace sound
