// Cuts a byte stream into sample records: bytes are appended to a work buffer
// and every complete record at its front is copied into a block of its own.
#pragma once

#include "format/kiv_format.h"

#include <cstdint>
#include <memory>

namespace kiv {

class TRecordCutter {
public:
    static constexpr uint32_t kInitialSize = 0x80000;

    explicit TRecordCutter(uint32_t initialSize = kInitialSize);

    // Free space after the held bytes, for a read straight into the buffer.
    uint8_t* Tail() { return FBuffer.get() + FHead + FUsed; }
    uint32_t Room() const { return FSize - FHead - FUsed; }
    void Commit(uint32_t count) { FUsed += count; }
    // Copies bytes in, growing the buffer when they do not fit (stream sources).
    // False when the buffer would pass the record limit.
    bool Append(const uint8_t* bytes, size_t count);

    enum class TCut { NeedMore, Record, Damaged };
    // Takes the front record when it is complete. The buffer grows to fit a larger
    // front record; a record beyond kMaxRecordSize is damage and is never allocated.
    TCut Next(TSampleBlock& record);
    // Size of the record at the front, 0 while its header is incomplete.
    uint64_t FrontSize() const;

    void Clear() { FHead = FUsed = 0; }
    uint32_t Used() const { return FUsed; }
    uint32_t Size() const { return FSize; }

private:
    void Grow(uint64_t size);
    void Compact();

    // Cut records are skipped by advancing FHead; the partial record left is
    // moved to the front once per round, not once per record.
    std::unique_ptr<uint8_t[]> FBuffer;
    uint32_t FSize;
    uint32_t FHead = 0; // start of the held bytes
    uint32_t FUsed = 0; // bytes held
};

} // namespace kiv
