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
    // only while all images together stay within this many bytes.
    static constexpr uint64_t kCapacityBytes = 10 << 20;

    // The decoded image of the first cached key frame with this time stamp, or null.
    const uint8_t* FindKeyFrame(uint32_t time);
    // Takes the image (its size is the field at byte 2) instead of copying it, and hands
    // back a block of at least imageCapacity bytes in its place: the evicted entry's
    // when it is large enough, else a new one. An image whose size field is below a file
    // header or above imageCapacity is not cached, and stays with the caller.
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
        uint32_t Capacity = 0; // of Image, which an evicted entry hands back
        uint32_t Size = 0;     // the image's own size field
    };
    std::recursive_mutex FLock;
    std::deque<TEntry> FEntries; // guarded by FLock
    uint64_t FBytes = 0;         // guarded by FLock: the entries' sizes
};

} // namespace kiv
