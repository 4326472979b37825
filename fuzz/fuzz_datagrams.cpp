// Arbitrary bytes as multicast datagrams for the sample reassembler: either a run
// of datagrams as they might arrive, or a record cut by the caster's rule and
// delivered with one datagram lost or repeated.
#include "platform/byte_order.h"
#include "sources/datagram.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace kiv;

// Every complete sample must be one whole record of its block's size.
void Check(const TSampleBlock& sample) {
    const uint64_t size = SampleRecordSize(sample.get());
    if (size > kMaxRecordSize) __builtin_trap();
    // Reading the last byte lets the address sanitizer see a block that is too short.
    volatile uint8_t last = sample[size - 1];
    (void)last;
}

void Datagrams(const uint8_t* data, size_t size) {
    TSampleAssembler assembler;
    TSampleQueue queue(3);
    size_t pos = 0;
    while (pos + 2 <= size) {
        const size_t want = LoadLE16(data + pos) % (kMaxDatagramSize + 1);
        pos += 2;
        const size_t n = std::min(want, size - pos);
        const std::vector<uint8_t> d(data + pos, data + pos + n); // exactly n bytes
        pos += n;
        if (TSampleBlock s = assembler.Feed(d.data(), d.size())) {
            Check(s);
            queue.Push(std::move(s));
        }
        if (n == 1) assembler.Discard();
    }
    while (TSampleBlock s = queue.Pop())
        Check(s);
}

void CutRecord(const uint8_t* data, size_t size) {
    if (size < 3 + kSampleHeaderSize) return;
    const uint8_t lose = data[0], repeat = data[1], length = data[2];
    std::vector<uint8_t> record(data + 3, data + size);
    // Repeating the input makes records that take several datagrams.
    while (record.size() < uint64_t(length % 4) * kMaxFragmentSize)
        record.insert(record.end(), data + 3, data + size);
    StoreLE32(record.data() + 12, static_cast<uint32_t>(record.size() - kSampleHeaderSize));
    const uint32_t count = FragmentCountFor(record.size());
    // Which datagram is lost, and which comes twice; count means none.
    const uint32_t lost = lose % (count + 1), twice = repeat % (count + 1);
    std::vector<uint8_t> d(kMaxDatagramSize);
    TSampleAssembler assembler;
    int complete = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (i == lost) continue;
        const size_t n = MakeDatagram(record.data(), static_cast<uint32_t>(record.size()), 7,
                                      static_cast<uint16_t>(i), d.data());
        for (int k = 0; k < (i == twice ? 2 : 1); ++k) {
            if (TSampleBlock s = assembler.Feed(d.data(), n)) {
                Check(s);
                ++complete;
                if (lost == count && twice == count &&
                    std::memcmp(s.get(), record.data(), record.size()) != 0)
                    __builtin_trap();
            }
        }
    }
    // Nothing lost and nothing repeated: exactly the record sent.
    if (lost == count && twice == count && complete != 1) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    if (data[0] & 1)
        CutRecord(data + 1, size - 1);
    else
        Datagrams(data + 1, size - 1);
    return 0;
}
