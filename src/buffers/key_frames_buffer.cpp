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
    TEntry entry{header, std::make_unique_for_overwrite<uint8_t[]>(size)};
    std::memcpy(entry.Image.get(), image, size);
    std::lock_guard guard(FLock);
    while (FEntries.size() >= kCapacity) FEntries.pop_front();
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
