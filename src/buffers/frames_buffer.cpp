#include "buffers/frames_buffer.h"

#include <algorithm>
#include <fstream>

namespace kiv {

void TFramesBuffer::Account(const uint8_t* block, int sign) {
    FSampleCount += sign;
    FByteCount += sign * static_cast<int64_t>(SampleRecordSize(block));
    if (SampleKind(block) == skKeyFrame) FKeyFrameCount += sign;
    if (sign > 0) {
        FPeakBytes = std::max(FPeakBytes.load(), FByteCount.load());
        FPeakSamples = std::max(FPeakSamples.load(), FSampleCount.load());
    }
}

void TFramesBuffer::RemoveFront(int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        Account(FBlocks.front().get(), -1);
        FBlocks.pop_front();
    }
    if (count > 0 && FRoomListener) FRoomListener();
}

int32_t TFramesBuffer::AddSample(TSampleBlock block) {
    std::lock_guard guard(FLock);
    Account(block.get(), +1);
    FBlocks.push_back(std::move(block));
    if (FListener) FListener();
    return static_cast<int32_t>(FBlocks.size()) - 1;
}

void TFramesBuffer::SetListener(std::function<void()> listener) {
    std::lock_guard guard(FLock);
    FListener = std::move(listener);
}

void TFramesBuffer::SetRoomListener(std::function<void()> listener) {
    std::lock_guard guard(FLock);
    FRoomListener = std::move(listener);
}

void TFramesBuffer::SetLimits(int64_t bytes, int32_t samples) {
    FLimitBytes = bytes;
    FLimitSamples = samples;
}

void TFramesBuffer::DropBeforeKeyFrame(int32_t& index) {
    std::lock_guard guard(FLock);
    int32_t k = std::min<int32_t>(index, static_cast<int32_t>(FBlocks.size()) - 1);
    while (k > 0 && SampleKind(FBlocks[k].get()) != skKeyFrame)
        --k;
    if (k <= 0) return;
    RemoveFront(k);
    index -= k;
}

bool TFramesBuffer::Trim(int32_t& index) {
    if (!IsFull() && HasRoom()) return false;
    DropBeforeKeyFrame(index);
    std::lock_guard guard(FLock);
    if (!HasRoom() && index > 0 && index == static_cast<int32_t>(FBlocks.size()) - 1) {
        RemoveFront(index);
        index = 0;
    }
    return true;
}

int32_t TFramesBuffer::FindSample(uint32_t& time, bool exact) {
    std::lock_guard guard(FLock);
    const auto count = static_cast<int32_t>(FBlocks.size());
    if (count == 0) return -1;
    if (count == 1) return 0;
    if (SampleTimeStamp(FBlocks.back().get()) < time) return -1;
    for (int32_t i = 1; i < count; ++i) {
        uint32_t cur = SampleTimeStamp(FBlocks[i].get());
        uint32_t prev = SampleTimeStamp(FBlocks[i - 1].get());
        if (time == cur) return i;
        if (time == prev) return i - 1;
        if (!exact && prev < time && time < cur) {
            time = prev;
            return i - 1;
        }
    }
    return -1;
}

uint32_t TFramesBuffer::FirstTimeStamp() const {
    std::lock_guard guard(FLock);
    return FBlocks.empty() ? 0 : SampleTimeStamp(FBlocks.front().get());
}

uint32_t TFramesBuffer::LastTimeStamp() const {
    std::lock_guard guard(FLock);
    return FBlocks.empty() ? 0 : SampleTimeStamp(FBlocks.back().get());
}

int32_t TFramesBuffer::Count() const {
    std::lock_guard guard(FLock);
    return static_cast<int32_t>(FBlocks.size());
}

void TFramesBuffer::Clear() {
    std::lock_guard guard(FLock);
    const bool any = !FBlocks.empty();
    FBlocks.clear();
    FSampleCount = 0;
    FKeyFrameCount = 0;
    FByteCount = 0;
    if (any && FRoomListener) FRoomListener();
}

const uint8_t* TFramesBuffer::Sample(int32_t index) {
    std::lock_guard guard(FLock);
    if (index < 0 || index >= static_cast<int32_t>(FBlocks.size())) return nullptr;
    return FBlocks[index].get();
}

bool TFramesBuffer::DumpToFile(const std::string& path) {
    std::string text;
    {
        std::lock_guard guard(FLock);
        for (size_t i = 0; i < FBlocks.size(); ++i) {
            const uint8_t* b = FBlocks[i].get();
            text += std::to_string(i) + "," + std::to_string(SampleTimeStamp(b));
            if (SampleKind(b) == skKeyFrame) text += ",Key";
            text += "\n";
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

} // namespace kiv
