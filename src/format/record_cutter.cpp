#include "format/record_cutter.h"

#include <algorithm>
#include <cstring>

namespace kiv {

TRecordCutter::TRecordCutter(uint32_t initialSize)
    : FBuffer(std::make_unique_for_overwrite<uint8_t[]>(initialSize)), FSize(initialSize) {}

void TRecordCutter::Compact() {
    if (FHead == 0) return;
    std::memmove(FBuffer.get(), FBuffer.get() + FHead, FUsed);
    FHead = 0;
}

void TRecordCutter::Grow(uint64_t size) {
    auto grown = std::make_unique_for_overwrite<uint8_t[]>(size);
    std::memcpy(grown.get(), FBuffer.get() + FHead, FUsed);
    FBuffer = std::move(grown);
    FHead = 0;
    FSize = static_cast<uint32_t>(size);
}

bool TRecordCutter::Append(const uint8_t* bytes, size_t count) {
    if (count > Room()) {
        Compact();
        uint64_t need = static_cast<uint64_t>(FUsed) + count;
        if (need > FSize) {
            // Less than one record is held between appends, so this bound is never
            // reached by a sound stream.
            constexpr uint64_t kLimit = 2 * kMaxRecordSize;
            if (need > kLimit) return false;
            Grow(std::max(need, std::min<uint64_t>(2ull * FSize, kLimit)));
        }
    }
    std::memcpy(Tail(), bytes, count);
    FUsed += static_cast<uint32_t>(count);
    return true;
}

uint64_t TRecordCutter::FrontSize() const {
    return FUsed < kSampleHeaderSize ? 0 : SampleRecordSize(FBuffer.get() + FHead);
}

TRecordCutter::TCut TRecordCutter::Next(TSampleBlock& record) {
    uint64_t size = FrontSize();
    if (size > kMaxRecordSize) return TCut::Damaged;
    if (size == 0 || FUsed < size) {
        Compact();
        if (size > FSize) Grow(size); // exactly the record, as the reading pass expects
        return TCut::NeedMore;
    }
    record = std::make_unique_for_overwrite<uint8_t[]>(size);
    std::memcpy(record.get(), FBuffer.get() + FHead, size);
    FHead += static_cast<uint32_t>(size);
    FUsed -= static_cast<uint32_t>(size);
    if (FUsed == 0) FHead = 0;
    return TCut::Record;
}

} // namespace kiv
