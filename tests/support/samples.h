// Sample blocks and recordings for tests.
#pragma once

#include "format/kiv_format.h"

#include <cstring>
#include <vector>

namespace kiv::test {

inline TSampleBlock MakeBlock(uint32_t time, int16_t kind, uint32_t length = 0, uint8_t fill = 0) {
    TSampleHeader h{};
    h.TimeStamp = time;
    h.Kind = kind;
    h.Length = length;
    TSampleBlock b(new uint8_t[kSampleHeaderSize + length]);
    StoreSampleHeader(h, b.get());
    std::memset(b.get() + kSampleHeaderSize, fill, length);
    return b;
}

inline TSampleHeader MakeHeader(uint32_t time, int16_t kind, uint16_t compression = ckRaw) {
    TSampleHeader h{};
    h.TimeStamp = time;
    h.Kind = kind;
    h.Compression = compression;
    return h;
}

} // namespace kiv::test
