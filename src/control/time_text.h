// The one way times are shown to a user: "hh:mm:ss", hours not wrapped.
#pragma once

#include <cstdint>
#include <string>

namespace kiv {

// Whole seconds of ms, truncated; nothing before the start, so a negative
// time reads as the start.
std::string TimeText(int64_t ms);

} // namespace kiv
