#include "sources/datagram.h"

#include <algorithm>
#include <cstring>

namespace kiv {

TDatagramHeader ParseDatagramHeader(const uint8_t* p) {
    TDatagramHeader h;
    h.SampleId = LoadLE32(p);
    h.TotalSize = LoadLE32(p + 4);
    h.Reserved = LoadLE16(p + 8);
    h.FragmentCount = LoadLE16(p + 10);
    return h;
}

void StoreDatagramHeader(const TDatagramHeader& h, uint8_t* p) {
    StoreLE32(p, h.SampleId);
    StoreLE32(p + 4, h.TotalSize);
    StoreLE16(p + 8, h.Reserved);
    StoreLE16(p + 10, h.FragmentCount);
}

uint32_t FragmentCountFor(uint64_t recordSize) {
    if (recordSize == 0 || recordSize > kMaxRecordSize) return 0;
    const uint64_t count = (recordSize + kMaxFragmentSize - 1) / kMaxFragmentSize;
    return count > UINT16_MAX ? 0 : static_cast<uint32_t>(count);
}

size_t MakeDatagram(const uint8_t* record, uint32_t size, uint32_t sampleId, uint16_t index,
                    uint8_t* out) {
    const uint32_t count = FragmentCountFor(size);
    TDatagramHeader h;
    h.SampleId = sampleId;
    h.TotalSize = size;
    h.Reserved = index;
    h.FragmentCount = static_cast<uint16_t>(count);
    StoreDatagramHeader(h, out);
    if (index >= count) return kDatagramHeaderSize;
    const uint64_t from = uint64_t{index} * kMaxFragmentSize;
    const auto piece = static_cast<size_t>(std::min<uint64_t>(kMaxFragmentSize, size - from));
    std::memcpy(out + kDatagramHeaderSize, record + from, piece);
    return kDatagramHeaderSize + piece;
}

const char* TSampleAssembler::DropText(TDrop why) {
    switch (why) {
    case TDrop::Incomplete:
        return "incomplete";
    case TDrop::Overrun:
        return "fragment past its size";
    case TDrop::Mismatch:
        return "fragments disagree on its size";
    case TDrop::Short:
        return "fewer bytes than its size";
    case TDrop::NotRecord:
        return "not a sample record";
    }
    return "";
}

void TSampleAssembler::Drop(TDrop why) {
    const uint32_t id = FSampleId;
    FData.reset();
    ++FDropped;
    if (FOnDrop) FOnDrop(id, why);
}

bool TSampleAssembler::Discard() {
    const bool had = FData != nullptr;
    FData.reset();
    return had;
}

TSampleBlock TSampleAssembler::Feed(const uint8_t* datagram, size_t size) {
    if (size < kDatagramHeaderSize) {
        ++FIgnored;
        return nullptr;
    }
    const TDatagramHeader h = ParseDatagramHeader(datagram);
    // No record is shorter than its header, longer than a record may be, or longer
    // than its fragments can carry; such a header must not size an allocation.
    if (h.FragmentCount == 0 || h.TotalSize < kSampleHeaderSize || h.TotalSize > kMaxRecordSize ||
        h.TotalSize > uint64_t{h.FragmentCount} * kMaxFragmentSize) {
        ++FIgnored;
        return nullptr;
    }
    if (FData && h.SampleId == FSampleId) {
        if (h.TotalSize != FTotalSize || h.FragmentCount != FExpected) {
            Drop(TDrop::Mismatch);
            return nullptr;
        }
    } else {
        if (FData) Drop(TDrop::Incomplete);
        FSampleId = h.SampleId;
        FTotalSize = h.TotalSize;
        FExpected = h.FragmentCount;
        FFragments = 0;
        FBytes = 0;
        FData = std::make_unique_for_overwrite<uint8_t[]>(h.TotalSize);
    }
    const uint64_t piece = size - kDatagramHeaderSize;
    if (FBytes + piece > FTotalSize) {
        Drop(TDrop::Overrun);
        return nullptr;
    }
    std::memcpy(FData.get() + FBytes, datagram + kDatagramHeaderSize, static_cast<size_t>(piece));
    FBytes += static_cast<uint32_t>(piece);
    if (++FFragments < FExpected) return nullptr;
    if (FBytes != FTotalSize) {
        Drop(TDrop::Short);
        return nullptr;
    }
    if (SampleRecordSize(FData.get()) != FTotalSize) {
        Drop(TDrop::NotRecord);
        return nullptr;
    }
    ++FCompleted;
    return std::move(FData);
}

size_t TSampleQueue::Push(TSampleBlock block) {
    std::deque<TSampleBlock> oldest; // freed after the lock is let go
    {
        std::lock_guard guard(FLock);
        const uint64_t size = SampleRecordSize(block.get());
        while (!FBlocks.empty() && (FBlocks.size() >= FCapacity || FBytes + size > FByteCapacity)) {
            FBytes -= SampleRecordSize(FBlocks.front().get());
            oldest.push_back(std::move(FBlocks.front()));
            FBlocks.pop_front();
        }
        FBytes += size;
        FBlocks.push_back(std::move(block));
    }
    return oldest.size();
}

TSampleBlock TSampleQueue::Pop() {
    std::lock_guard guard(FLock);
    if (FBlocks.empty()) return nullptr;
    TSampleBlock b = std::move(FBlocks.front());
    FBlocks.pop_front();
    FBytes -= SampleRecordSize(b.get());
    return b;
}

size_t TSampleQueue::Count() {
    std::lock_guard guard(FLock);
    return FBlocks.size();
}

void TSampleQueue::Clear() {
    std::deque<TSampleBlock> freed;
    {
        std::lock_guard guard(FLock);
        freed.swap(FBlocks);
        FBytes = 0;
    }
}

} // namespace kiv
