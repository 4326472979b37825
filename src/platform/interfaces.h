// The host's IPv4 interface addresses, and the ones a multicast receiver may use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

struct TInterfaceAddress {
    uint32_t Index = 0;  // the interface's index; its addresses share it
    std::string Address; // dotted form
};

// Every IPv4 address of every interface, in the system's order; empty when the
// system cannot tell.
std::vector<TInterfaceAddress> ReadInterfaceTable();

// In table order: skips "127.0.0.1" and "0.0.0.0", takes one address per
// interface (its first), and at most `limit` in all.
std::vector<std::string> SelectInterfaces(const std::vector<TInterfaceAddress>& table,
                                          size_t limit);

} // namespace kiv
