// What a source has brought so far, for an owner on another thread that
// decides whether it stopped: the bytes no earlier read had brought, and when
// the last of them came. A read still under way counts, so a slow answer is
// progress before it ends.
#pragma once

#include "platform/tick.h"

#include <atomic>
#include <cstdint>

namespace kiv {

class TReadProgress {
public:
    // The reading thread.
    void Add(uint64_t bytes) {
        if (bytes == 0) return;
        FLastTick = GetTickMs();
        FBytes += bytes;
    }
    uint64_t Bytes() const { return FBytes.load(); }
    // Since the last byte came (since this was made, before any).
    uint32_t QuietMs() const { return GetTickMs() - FLastTick.load(); }

private:
    std::atomic<uint64_t> FBytes{0};
    std::atomic<uint32_t> FLastTick{GetTickMs()};
};

} // namespace kiv
