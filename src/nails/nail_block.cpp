#include "nails/nail_block.h"

#include "platform/byte_order.h"

#include <algorithm>
#include <cstring>

namespace kiv {

TNailBlock MakeNailBlock(const std::string& path, uint32_t seconds) {
    if (path.size() > kNailPathCapacity) return nullptr;
    TNailBlock block = std::make_unique<uint8_t[]>(kNailBlockSize); // zero-filled
    std::memcpy(block.get(), path.data(), path.size());
    StoreLE32(block.get() + kNailPathCapacity, static_cast<uint32_t>(path.size()));
    StoreLE32(block.get() + kNailPathCapacity + 4, seconds);
    return block;
}

void ReadNailBlock(const uint8_t* block, std::string& path, uint32_t& seconds) {
    const uint32_t length = std::min(LoadLE32(block + kNailPathCapacity), kNailPathCapacity);
    path.assign(reinterpret_cast<const char*>(block), length);
    seconds = LoadLE32(block + kNailPathCapacity + 4);
}

TEvent& LayoutNailEvent() {
    static TEvent event; // "Layout Nail Event"
    return event;
}

} // namespace kiv
