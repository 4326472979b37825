// A small cache of decoded key frames, oldest first.
#pragma once

#include "format/kiv_format.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace kiv {

class TKeyFramesBuffer {
public:
    static constexpr size_t kCapacity = 5;
    // Large pictures are cached fewer at a time: the newest always stays, older ones
    // only while all images together stay within this many bytes. A 1920 x 1080
    // picture is cached alone: a second one would cost more memory than decoding
    // it again costs time.
    static constexpr uint64_t kCapacityBytes = 6 << 20;

    // The decoded image of the first cached key frame with this time stamp, or null.
    const uint8_t* FindKeyFrame(uint32_t time);
    // A block of at least capacity bytes to decode the next key frame into. Evicts now
    // what caching an image the size of the newest would evict and hands back its
    // block when large enough, else a new one: no more blocks are touched than the
    // cache holds.
    std::unique_ptr<uint8_t[]> SpareFor(uint32_t capacity);
    // Takes the image (its size is the field at byte 2) instead of copying it. An
    // image whose size field is below a file header or above imageCapacity is not
    // cached, and stays with the caller.
    bool AdoptKeyFrame(const TSampleHeader& header, std::unique_ptr<uint8_t[]>& image,
                       uint32_t imageCapacity);
    void Clear();
    size_t Count();

    // The play thread holds this across look-up, decoding, insertion and composing;
    // taken before the back buffer's lock, never after it.
    std::recursive_mutex& Lock() { return FLock; }

private:
    struct TEntry {
        TSampleHeader Header;
        std::unique_ptr<uint8_t[]> Image;
        uint32_t Capacity = 0; // of Image, which SpareFor hands back
        uint32_t Size = 0;     // the image's own size field
    };
    // Under FLock: evicts the oldest while one more image of size would not fit; the
    // first evicted block of at least capacity bytes goes to spare.
    void EvictFor(uint64_t size, uint32_t capacity, std::unique_ptr<uint8_t[]>* spare);

    std::recursive_mutex FLock;
    std::deque<TEntry> FEntries; // guarded by FLock
    uint64_t FBytes = 0;         // guarded by FLock: the entries' sizes
};

} // namespace kiv
