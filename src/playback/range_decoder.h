// Decodes the regions of a range draw on a thread of its own, ahead of the play
// thread that composes them in order and decodes those the other has not begun:
// a seek's decoding is shared between two cores.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kiv {

class TRangeDecoder {
public:
    // Decoded images waiting to be composed stay within this many bytes (one
    // larger image is still decoded, alone).
    static constexpr uint64_t kBudget = 8 << 20;

    TRangeDecoder();
    ~TRangeDecoder();
    TRangeDecoder(const TRangeDecoder&) = delete;
    TRangeDecoder& operator=(const TRangeDecoder&) = delete;

    // Starts on these samples, in order; they must stay valid until End. Regions
    // and pointer shapes are decoded; anything else is left to the caller.
    void Begin(std::vector<const uint8_t*> samples);
    // The image of samples[i], waiting for it while it is being decoded; releases
    // those before it. Null when the caller is to decode it itself: it was not
    // begun yet (both threads then decode), is not decodable here, or is damaged
    // (the caller meets the damage). size: the image's own size field.
    const uint8_t* Take(size_t i, uint32_t& size);
    // Stops decoding and releases every image; returns once the thread is idle.
    void End();

private:
    struct TImage {
        std::unique_ptr<uint8_t[]> Bits;
        uint32_t Size = 0;
        bool Done = false;
    };
    void Run();
    // On the decoding thread, outside the lock.
    void Decode(const uint8_t* sample, TImage& image);
    bool Decodable(const uint8_t* sample) const;

    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<const uint8_t*> FSamples; // guarded by FLock
    std::vector<TImage> FImages;          // guarded by FLock
    size_t FNext = 0;                     // guarded by FLock: the next one to decode
    size_t FTaken = 0;                    // guarded by FLock: those before are released
    uint64_t FHeld = 0;                   // guarded by FLock: bytes of unreleased images
    bool FActive = false;                 // guarded by FLock
    bool FBusy = false;                   // guarded by FLock: a decode is under way
    bool FQuit = false;                   // guarded by FLock
    std::unique_ptr<uint8_t[]> FScratch;  // the decoding thread
    std::thread FThread;                  // last: starts once the fields exist
};

} // namespace kiv
