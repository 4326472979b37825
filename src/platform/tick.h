// The millisecond tick: monotonic, wraps like a 32-bit multimedia timer.
#pragma once

#include <chrono>
#include <cstdint>

namespace kiv {

inline uint32_t GetTickMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace kiv
