#include "control/time_text.h"

#include <algorithm>
#include <cstdio>

namespace kiv {

std::string TimeText(int64_t ms) {
    const long long t = std::max<int64_t>(ms, 0) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", t / 3600, t % 3600 / 60, t % 60);
    return text;
}

} // namespace kiv
