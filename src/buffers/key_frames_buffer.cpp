#include "buffers/key_frames_buffer.h"

namespace kiv {

const uint8_t* TKeyFramesBuffer::FindKeyFrame(uint32_t time) {
    std::lock_guard guard(FLock);
    for (const auto& e : FEntries)
        if (e.Header.TimeStamp == time) return e.Image.get();
    return nullptr;
}

bool TKeyFramesBuffer::AdoptKeyFrame(const TSampleHeader& header, std::unique_ptr<uint8_t[]>& image,
                                     uint32_t imageCapacity) {
    if (!image || imageCapacity < 6) return false;
    const uint32_t size = LoadLE32(image.get() + 2);
    if (size < 14 || size > imageCapacity) return false;
    std::unique_ptr<uint8_t[]> spare;
    {
        std::lock_guard guard(FLock);
        while (!FEntries.empty() &&
               (FEntries.size() >= kCapacity || FBytes + size > kCapacityBytes)) {
            // Reusing the evicted block spares faulting in a fresh one.
            if (!spare && FEntries.front().Capacity >= imageCapacity)
                spare = std::move(FEntries.front().Image);
            FBytes -= FEntries.front().Size;
            FEntries.pop_front();
        }
        FEntries.push_back(TEntry{header, std::move(image), imageCapacity, size});
        FBytes += size;
    }
    image = spare ? std::move(spare) : std::make_unique_for_overwrite<uint8_t[]>(imageCapacity);
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
