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
    // The hard bound for every source, however fast it delivers: a reading thread
    // adds a sample only while HasRoom(), so the byte count passes kLimitBytes only
    // by the last record added (or by a lone record larger than that). Far above
    // what the trimming at IsFull keeps in normal playing.
    static constexpr int64_t kLimitBytes = 32 << 20;
    static constexpr int32_t kLimitSamples = 65536;

    // Takes the block; returns its index.
    int32_t AddSample(TSampleBlock block);
    // At least 2 MiB and 3 key frames buffered; read without the lock.
    bool IsFull() const {
        return FByteCount.load(std::memory_order_relaxed) >= kFullBytes &&
               FKeyFrameCount.load(std::memory_order_relaxed) >= kFullKeyFrames;
    }
    // Below both limits; a lone sample leaves room whatever its size, so that a
    // record larger than the limit cannot stop a source for good. Read without the lock.
    bool HasRoom() const {
        const int32_t count = FSampleCount.load(std::memory_order_relaxed);
        return count < FLimitSamples.load(std::memory_order_relaxed) &&
               (FByteCount.load(std::memory_order_relaxed) <
                    FLimitBytes.load(std::memory_order_relaxed) ||
                count < 2);
    }
    // Drops everything before the nearest key frame at or before index; the index
    // is moved so that it designates the same sample.
    void DropBeforeKeyFrame(int32_t& index);
    // The play thread's trimming after drawing the sample at index. Full or at the
    // limit: DropBeforeKeyFrame. Still at the limit with nothing after index, no
    // reading thread could add anything, so everything drawn before index goes too,
    // key frame or not. False when the buffer was neither (nothing to ask for).
    bool Trim(int32_t& index);
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
    // Called (under the buffer's lock) whenever samples are removed: a reading
    // thread waiting for room listens.
    void SetRoomListener(std::function<void()> listener);
    // Lower limits, for tests; set before a reading thread adds anything.
    void SetLimits(int64_t bytes, int32_t samples);

    int32_t SampleCount() const { return FSampleCount.load(); }
    int32_t KeyFrameCount() const { return FKeyFrameCount.load(); }
    int64_t ByteCount() const { return FByteCount.load(); }
    // The highest counts since the buffer was made (Clear keeps them).
    int64_t PeakByteCount() const { return FPeakBytes.load(); }
    int32_t PeakSampleCount() const { return FPeakSamples.load(); }

private:
    void Account(const uint8_t* block, int sign);
    // Under FLock.
    void RemoveFront(int32_t count);

    mutable std::mutex FLock;
    std::deque<TSampleBlock> FBlocks;    // guarded by FLock
    std::function<void()> FListener;     // guarded by FLock
    std::function<void()> FRoomListener; // guarded by FLock
    // Changed under FLock, read without it.
    std::atomic<int32_t> FSampleCount{0};
    std::atomic<int32_t> FKeyFrameCount{0};
    std::atomic<int64_t> FByteCount{0}; // 64-bit: a paused live source may pile up
    std::atomic<int64_t> FPeakBytes{0};
    std::atomic<int32_t> FPeakSamples{0};
    std::atomic<int64_t> FLimitBytes{kLimitBytes};
    std::atomic<int32_t> FLimitSamples{kLimitSamples};
};

} // namespace kiv
