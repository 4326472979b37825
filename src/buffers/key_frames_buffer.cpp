#include "buffers/key_frames_buffer.h"

namespace kiv {

const uint8_t* TKeyFramesBuffer::FindKeyFrame(uint32_t time) {
    std::lock_guard guard(FLock);
    for (const auto& e : FEntries)
        if (e.Header.TimeStamp == time) return e.Image.get();
    return nullptr;
}

void TKeyFramesBuffer::EvictFor(uint64_t size, uint32_t capacity,
                                std::unique_ptr<uint8_t[]>* spare) {
    while (!FEntries.empty() && (FEntries.size() >= kCapacity || FBytes + size > kCapacityBytes)) {
        if (spare && !*spare && FEntries.front().Capacity >= capacity)
            *spare = std::move(FEntries.front().Image);
        FBytes -= FEntries.front().Size;
        FEntries.pop_front();
    }
}

std::unique_ptr<uint8_t[]> TKeyFramesBuffer::SpareFor(uint32_t capacity) {
    std::unique_ptr<uint8_t[]> spare;
    {
        std::lock_guard guard(FLock);
        // Reusing the evicted block spares faulting in a fresh one.
        if (!FEntries.empty()) EvictFor(FEntries.back().Size, capacity, &spare);
    }
    return spare ? std::move(spare) : std::make_unique_for_overwrite<uint8_t[]>(capacity);
}

bool TKeyFramesBuffer::AdoptKeyFrame(const TSampleHeader& header, std::unique_ptr<uint8_t[]>& image,
                                     uint32_t imageCapacity) {
    if (!image || imageCapacity < 6) return false;
    const uint32_t size = LoadLE32(image.get() + 2);
    if (size < 14 || size > imageCapacity) return false;
    std::lock_guard guard(FLock);
    EvictFor(size, imageCapacity, nullptr);
    FEntries.push_back(TEntry{header, std::move(image), imageCapacity, size});
    FBytes += size;
    return true;
}

void TKeyFramesBuffer::Clear() {
    std::lock_guard guard(FLock);
    FEntries.clear();
    FBytes = 0;
}

size_t TKeyFramesBuffer::Count() {
    std::lock_guard guard(FLock);
    return FEntries.size();
}

} // namespace kiv
