#include "platform/interfaces.h"

#include <algorithm>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>

namespace kiv {

std::vector<TInterfaceAddress> ReadInterfaceTable() {
    std::vector<TInterfaceAddress> table;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return table;
    std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> owner(list, &freeifaddrs);
    for (const ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_name) continue;
        // An address label ("eth0:1") names its interface before the colon.
        std::string name = a->ifa_name;
        name = name.substr(0, name.find(':'));
        const unsigned index = if_nametoindex(name.c_str());
        if (index == 0) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
        table.push_back({index, text});
    }
    return table;
}

std::vector<std::string> SelectInterfaces(const std::vector<TInterfaceAddress>& table,
                                          size_t limit) {
    std::vector<std::string> taken;
    std::vector<uint32_t> indexes;
    for (const auto& row : table) {
        if (taken.size() >= limit) break;
        if (row.Address == "127.0.0.1" || row.Address == "0.0.0.0") continue;
        if (std::find(indexes.begin(), indexes.end(), row.Index) != indexes.end()) continue;
        indexes.push_back(row.Index);
        taken.push_back(row.Address);
    }
    return taken;
}

} // namespace kiv
