#include "sources/multicast_description.h"

namespace kiv {

TMulticastAddress MulticastAddressOf(const TIniFile& description) {
    TMulticastAddress a;
    a.Group = description.ReadString("Address", "ip", "");
    a.Port = description.ReadInteger("Address", "port", 0);
    return a;
}

TMulticastAddress ReadMulticastFile(const std::string& path) {
    return MulticastAddressOf(TIniFile::Load(path));
}

} // namespace kiv
