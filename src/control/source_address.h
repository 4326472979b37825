// Resolving a host's address the way the control opens it.
#pragma once

#include <string>

namespace kiv {

// The address as its reading thread opens it: normalised, and a bare file name
// taken from the folder of the hosting page's address (pageUrl; may be empty).
std::string ResolveSourceAddress(const std::string& address, const std::string& pageUrl);

} // namespace kiv
