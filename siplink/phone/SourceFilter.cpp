// The provider-only rule for requests that come in.
#include "siplink/phone/SourceFilter.h"

namespace phone {

bool SourceFilter::Takes(const std::string& address, bool inDialog) const {
    return !providerOnly || inDialog || providers.count(address) > 0;
}

} // namespace phone
