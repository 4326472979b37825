// The multicast wire format. A caster cuts every sample record into UDP
// datagrams of at most 20,480 bytes; each starts with a 12-byte header (all
// little-endian): SampleId u32, TotalSize u32 (the whole record), 2 reserved
// bytes, FragmentCount u16. Fragments carry no position: a receiver appends them
// in arrival order and has the record when FragmentCount of them have come.
#pragma once

#include "format/kiv_format.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace kiv {

constexpr uint32_t kDatagramHeaderSize = 12;
constexpr uint32_t kMaxDatagramSize = 20480;
constexpr uint32_t kMaxFragmentSize = kMaxDatagramSize - kDatagramHeaderSize;
// A receiver keeps at most this many complete samples for its consumer, and at
// most this many bytes of them (more only for one sample alone).
constexpr size_t kMaxQueuedSamples = 2000;
constexpr uint64_t kMaxQueuedBytes = 8 << 20;

struct TDatagramHeader {
    uint32_t SampleId = 0;
    uint32_t TotalSize = 0;
    uint16_t Reserved = 0; // the caster writes the fragment's number; receivers ignore it
    uint16_t FragmentCount = 0;
};

TDatagramHeader ParseDatagramHeader(const uint8_t* p);
void StoreDatagramHeader(const TDatagramHeader& h, uint8_t* p);

// Datagrams a record of this size takes; 0 when it is too large to cast.
uint32_t FragmentCountFor(uint64_t recordSize);
// Writes datagram `index` (of FragmentCountFor(size)) of the record into out,
// which holds kMaxDatagramSize bytes; returns the datagram's length.
size_t MakeDatagram(const uint8_t* record, uint32_t size, uint32_t sampleId, uint16_t index,
                    uint8_t* out);

// Reassembles sample records from datagrams. At most one sample is under way:
// the first datagram of another sample gives up the incomplete one.
class TSampleAssembler {
public:
    enum class TDrop {
        Incomplete, // another sample began first
        Overrun,    // a fragment went past TotalSize
        Mismatch,   // fragments disagree on TotalSize or FragmentCount
        Short,      // every fragment came, but fewer bytes than TotalSize
        NotRecord,  // the bytes are not one sample record of TotalSize bytes
    };
    using TDropHandler = std::function<void(uint32_t sampleId, TDrop why)>;

    explicit TSampleAssembler(TDropHandler onDrop = {}) : FOnDrop(std::move(onDrop)) {}

    // Takes one datagram; returns the sample it completed, if any. A complete
    // sample is always one whole record: Length + 28 equals its block's size.
    TSampleBlock Feed(const uint8_t* datagram, size_t size);
    // Gives up the sample under way without telling; true when there was one.
    bool Discard();
    bool HasPartial() const { return FData != nullptr; }

    uint64_t Completed() const { return FCompleted; }
    uint64_t Dropped() const { return FDropped; }
    // Datagrams that could not be fragments of any sample.
    uint64_t Ignored() const { return FIgnored; }

    static const char* DropText(TDrop why);

private:
    void Drop(TDrop why);

    TDropHandler FOnDrop;
    // The sample under way; FData is null when there is none.
    TSampleBlock FData;
    uint32_t FSampleId = 0;
    uint32_t FTotalSize = 0;
    uint32_t FExpected = 0;
    uint32_t FFragments = 0;
    uint32_t FBytes = 0;
    uint64_t FCompleted = 0, FDropped = 0, FIgnored = 0;
};

// Complete samples waiting for their consumer, oldest first; when full, the
// oldest is freed to make room. Safe between one producer and one consumer.
class TSampleQueue {
public:
    explicit TSampleQueue(size_t capacity = kMaxQueuedSamples, uint64_t bytes = kMaxQueuedBytes)
        : FCapacity(capacity), FByteCapacity(bytes) {}

    // Returns how many old samples were freed to make room.
    size_t Push(TSampleBlock block);
    // The oldest sample, or null when there is none.
    TSampleBlock Pop();
    size_t Count();
    void Clear();

private:
    const size_t FCapacity;
    const uint64_t FByteCapacity;
    std::mutex FLock;
    std::deque<TSampleBlock> FBlocks; // guarded by FLock
    uint64_t FBytes = 0;              // guarded by FLock: record sizes of FBlocks
};

} // namespace kiv
