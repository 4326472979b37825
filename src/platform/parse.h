// Reading numbers from command lines and addresses: decimal digits only.
#pragma once

#include <cstdint>
#include <string_view>

namespace kiv {

// True when text is 1 to 19 decimal digits whose value is at most max.
inline bool ParseDecimal(std::string_view text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > max) return false;
    out = v;
    return true;
}

} // namespace kiv
