// The description file (".sms") of a multicast source: section "Address", keys
// "ip" and "port".
#pragma once

#include "platform/ini_file.h"

#include <cstdint>
#include <string>

namespace kiv {

struct TMulticastAddress {
    std::string Group;
    int32_t Port = 0;
    // An empty group or a port of 0 (or one no UDP port can be) makes it unusable.
    bool Usable() const { return !Group.empty() && Port > 0 && Port <= 65535; }
};

// A missing or unreadable key leaves the group empty or the port 0.
TMulticastAddress MulticastAddressOf(const TIniFile& description);
TMulticastAddress ReadMulticastFile(const std::string& path);

} // namespace kiv
