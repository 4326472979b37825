// The window of samples the reading thread has fetched and the play thread not yet dropped.
#pragma once

#include "format/kiv_format.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace kiv {

class TFramesBuffer {
public:
    static constexpr int32_t kFullBytes = 0x200000;
    static constexpr int32_t kFullKeyFrames = 3;

    // Takes the block; returns its index.
    int32_t AddSample(TSampleBlock block);
    // At least 2 MiB and 3 key frames buffered; read without the lock.
    bool IsFull() const {
        return FByteCount.load(std::memory_order_relaxed) >= kFullBytes &&
               FKeyFrameCount.load(std::memory_order_relaxed) >= kFullKeyFrames;
    }
    // Drops everything before the nearest key frame at or before index; the index
    // is moved so that it designates the same sample.
    void DropBeforeKeyFrame(int32_t& index);
    // The sample at or (inexact) before time; -1 when none. An inexact match moves time.
    int32_t FindSample(uint32_t& time, bool exact);
    uint32_t FirstTimeStamp() const;
    uint32_t LastTimeStamp() const;
    int32_t Count() const;
    void Clear();
    // One line per block: "index,TimeStamp" and ",Key" for key frames.
    bool DumpToFile(const std::string& path);

    // The block at index, or null. It stays valid until it is dropped or cleared,
    // which only the play thread (or the reading thread while the play thread waits
    // for its reset) does.
    const uint8_t* Sample(int32_t index);

    // Called (under the buffer's lock) after every sample added; the play thread
    // listens so that it wakes when data arrives instead of polling.
    void SetListener(std::function<void()> listener);

    int32_t SampleCount() const { return FSampleCount.load(); }
    int32_t KeyFrameCount() const { return FKeyFrameCount.load(); }
    int64_t ByteCount() const { return FByteCount.load(); }

private:
    void Account(const uint8_t* block, int sign);

    mutable std::mutex FLock;
    std::deque<TSampleBlock> FBlocks; // guarded by FLock
    std::function<void()> FListener;  // guarded by FLock
    // Changed under FLock, read without it.
    std::atomic<int32_t> FSampleCount{0};
    std::atomic<int32_t> FKeyFrameCount{0};
    std::atomic<int64_t> FByteCount{0}; // 64-bit: a paused live source may pile up
};

} // namespace kiv
