#include "control/source_address.h"

#include "net/address.h"

namespace kiv {

std::string ResolveSourceAddress(const std::string& address, const std::string& pageUrl) {
    std::string url = NormalizeAddress(address);
    if (url.find_first_of("/\\") != std::string::npos) return url;
    std::string page = NormalizeAddress(pageUrl);
    size_t sep = page.find_last_of("/\\");
    return sep == std::string::npos ? url : page.substr(0, sep + 1) + url;
}

} // namespace kiv
