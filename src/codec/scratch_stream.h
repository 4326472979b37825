// The decoder scratch stream: one per process, reused by every JPEG payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace kiv {

class TScratchStream {
public:
    // Copies the payload to the start. The storage only grows, so steady-state decoding
    // allocates nothing; the logical size is always the current payload's length, so bytes
    // of an earlier, longer payload are never read again.
    void Load(const uint8_t* data, size_t size) {
        if (size > FCapacity) {
            FData.reset(); // the old bytes are not kept, so do not hold both blocks at once
            FCapacity = 0;
            FData = std::make_unique_for_overwrite<uint8_t[]>(size);
            FCapacity = size;
        }
        if (size > 0) std::memcpy(FData.get(), data, size);
        FSize = size;
    }

    const uint8_t* Data() const { return FData.get(); }
    size_t Size() const { return FSize; }
    size_t Capacity() const { return FCapacity; }

private:
    std::unique_ptr<uint8_t[]> FData;
    size_t FCapacity = 0;
    size_t FSize = 0;
};

} // namespace kiv
