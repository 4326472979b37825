// Decodes the regions of a range draw, or of playing, on a thread of its own,
// ahead of the play thread that composes them in order and decodes those the
// other has not begun: decoding is shared between two cores.
#pragma once

#include "buffers/frames_buffer.h"
#include "buffers/key_frames_buffer.h"
#include "playback/back_buffer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kiv {

class TRangeDecoder : public THelperThread {
public:
    // The most a range may keep decoded and waiting to be composed. Images are
    // decoded into one ring of this size, reused from range to range, so decoding
    // ahead allocates nothing; one that does not fit where the ring is free is
    // left to the caller.
    static constexpr uint32_t kBudget = 8 << 20;

    TRangeDecoder();
    ~TRangeDecoder() override;
    TRangeDecoder(const TRangeDecoder&) = delete;
    TRangeDecoder& operator=(const TRangeDecoder&) = delete;

    // Starts on these samples, in order; they must stay valid until End. Regions
    // and pointer shapes are decoded; anything else is left to the caller. Images
    // waiting stay within budget bytes (at most kBudget): the ring's pages past
    // what a range uses are never touched. Given keyFrames, key frames go into that
    // cache ahead of their turn too, one at a time: none while an earlier one is
    // still to be drawn.
    void Begin(std::vector<const uint8_t*> samples, uint32_t budget = kBudget,
               TKeyFramesBuffer* keyFrames = nullptr);
    // One more sample after those begun, under the same terms.
    void Append(const uint8_t* sample);
    // While a seek's reading is under way: begins on the samples frames holds, its
    // first counted 0, and takes those that arrive as they arrive (Arrived), as long
    // as they are stamped at or before target.
    void Follow(TFramesBuffer& frames, uint32_t target);
    // The frames buffer's listener: a sample arrived. Called under the buffer's lock.
    void Arrived();
    // Takes frames' first count samples, stops following and lets go of any after
    // them not begun: the range is then as Begin would have made it.
    void StopFollowing(size_t count);
    // The image of sample i (counted from Begin), waiting for it while it is being
    // decoded; releases those before it. Null when the caller is to decode it
    // itself: it was not begun yet (both threads then decode), is not decodable
    // here, or is damaged (the caller meets the damage). size: the image's own
    // size field. The image stays valid until a later Take or End.
    const uint8_t* Take(size_t i, uint32_t& size);
    // When sample i is the next to begin, it becomes the caller's to decode (Take
    // then gives null for it): true. A caller about to wait for sample i - 1 decodes
    // this one meanwhile.
    bool Claim(size_t i);
    // Stops decoding and releases every image; returns once the thread is idle.
    void End();
    // A task before any further decoding, when no decode is under way: the thread
    // that waits for the images helps to make the picture they go onto.
    bool Start(std::function<void()> task) override;
    void Wait() override;

private:
    struct TImage {
        uint32_t Offset = 0; // in the ring
        uint32_t Size = 0;   // the image's own size field; 0: none, for the caller
        bool Done = false;
    };
    struct TSpan {
        uint32_t At = 0, Length = 0;
    };
    void Run();
    // On the decoding thread, lock held on entry and exit; false when the range
    // ended or went past the sample meanwhile.
    bool Decode(std::unique_lock<std::mutex>& guard, size_t i);
    // The same for a key frame, into the cache; its image is then found there.
    bool DecodeKeyFrame(std::unique_lock<std::mutex>& guard, size_t i);
    // Under FLock: sample i is for this thread to decode.
    bool Decodable(size_t i) const;
    bool Current(size_t i) const { return FActive && i >= FFirst; }
    // Under FLock: the longest run of free bytes in the ring.
    TSpan FreeSpan() const;
    // Under FLock: there is a sample to begin, and room for it.
    bool CanBegin() const;
    // Samples of the followed buffer from the range's end on, up to count (all that
    // are there when count is -1); lock held on entry and exit, not meanwhile.
    void TakeArrived(std::unique_lock<std::mutex>& guard, int64_t count);
    // Under FLock: releases the images before sample i.
    void Release(size_t i);

    std::mutex FLock;
    std::condition_variable FWork;          // the decoding thread waits on it
    std::condition_variable FDone;          // Take waits on it
    std::deque<const uint8_t*> FSamples;    // guarded by FLock: from sample FFirst on
    std::deque<TImage> FImages;             // guarded by FLock: one per sample in FSamples
    size_t FFirst = 0;                      // guarded by FLock: those before are released
    size_t FNext = 0;                       // guarded by FLock: the next one to decode
    uint32_t FBudget = kBudget;             // guarded by FLock
    TKeyFramesBuffer* FKeyFrames = nullptr; // guarded by FLock: the range's cache, if any
    uint32_t FHead = 0;                     // guarded by FLock: the ring's next free byte
    TFramesBuffer* FFollowed = nullptr;     // guarded by FLock: Follow's buffer, until stopped
    uint32_t FFollowTarget = 0;             // guarded by FLock
    bool FArrived = false;                  // guarded by FLock: samples to take from FFollowed
    std::function<void()> FTask;            // guarded by FLock: Start's, until it is done
    std::exception_ptr FTaskError;          // guarded by FLock: what it raised, for Wait
    bool FActive = false;                   // guarded by FLock
    bool FBusy = false;                     // guarded by FLock: a decode is under way
    bool FQuit = false;                     // guarded by FLock
    // Made by the first Begin. Its bytes belong to the images holding them, and
    // its free span to the decoding thread while it decodes there.
    std::unique_ptr<uint8_t[]> FRing;
    std::thread FThread; // last: starts once the fields exist
};

} // namespace kiv
