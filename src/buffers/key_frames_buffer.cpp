#include "buffers/key_frames_buffer.h"

#include <cstring>

namespace kiv {

const uint8_t* TKeyFramesBuffer::FindKeyFrame(uint32_t time) {
    std::lock_guard guard(FLock);
    for (const auto& e : FEntries)
        if (e.Header.TimeStamp == time) return e.Image.get();
    return nullptr;
}

bool TKeyFramesBuffer::AddKeyFrame(const TSampleHeader& header, const uint8_t* image,
                                   uint32_t imageCapacity) {
    if (imageCapacity < 6) return false;
    const uint32_t size = LoadLE32(image + 2);
    if (size < 14 || size > imageCapacity) return false;
    TEntry entry{header, nullptr, 0};
    std::lock_guard guard(FLock);
    while (FEntries.size() >= kCapacity) {
        // Key frames of one recording are alike in size: reuse the evicted block
        // rather than fault in a fresh one.
        if (!entry.Image && FEntries.front().Capacity >= size) {
            entry.Image = std::move(FEntries.front().Image);
            entry.Capacity = FEntries.front().Capacity;
        }
        FEntries.pop_front();
    }
    if (!entry.Image) {
        entry.Image = std::make_unique_for_overwrite<uint8_t[]>(size);
        entry.Capacity = size;
    }
    std::memcpy(entry.Image.get(), image, size);
    FEntries.push_back(std::move(entry));
    return true;
}

void TKeyFramesBuffer::Clear() {
    std::lock_guard guard(FLock);
    FEntries.clear();
}

size_t TKeyFramesBuffer::Count() {
    std::lock_guard guard(FLock);
    return FEntries.size();
}

} // namespace kiv
