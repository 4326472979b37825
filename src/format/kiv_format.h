// The recording layout: file header, sample records, index header and entries.
// The structures document the byte layout; fields are always read with explicit
// little-endian loads from the bytes, never by casting a pointer.
#pragma once

#include "codec/compression.h"
#include "platform/byte_order.h"

#include <cstdint>
#include <memory>

namespace kiv {

#pragma pack(push, 1)
struct TKivFileHeader {
    uint8_t Magic[2]; // 'K', 'Q'
    uint8_t Reserved1[2];
    uint16_t Width;
    uint16_t Height;
    uint32_t Duration;       // time stamp of the last sample record, ms
    uint32_t HeaderPosition; // length of the sample area; the index header follows it
    uint8_t Reserved2[16];
};

struct TSampleHeader {
    uint32_t TimeStamp;
    uint16_t Left;
    uint16_t Top;
    int16_t Kind;
    uint16_t Compression;
    uint32_t Length;
    uint16_t MouseX;
    uint16_t MouseY;
    uint8_t Reserved[8];
};

struct TIndexHeader {
    uint32_t IndexCount;
    uint8_t Reserved[12];
};

struct TIndexEntry {
    uint32_t TimeStamp;
    uint32_t Offset; // from the start of the sample area
};
#pragma pack(pop)

static_assert(sizeof(TKivFileHeader) == 32);
static_assert(sizeof(TSampleHeader) == 28);
static_assert(sizeof(TIndexHeader) == 16);
static_assert(sizeof(TIndexEntry) == 8);

constexpr uint32_t kFileHeaderSize = 32;
constexpr uint32_t kSampleHeaderSize = 28;
constexpr uint32_t kIndexHeaderSize = 16;
constexpr uint32_t kIndexEntrySize = 8;

// A record larger than this is damage, not a reason to allocate.
constexpr uint64_t kMaxRecordSize = 64ull << 20;
// The index table never holds more entries than this.
constexpr uint32_t kMaxIndexEntries = 0x20000 + 1;
// Every decoder call gets a destination of this size.
constexpr uint32_t kDecodeBufferSize = 0x500000;

// The largest picture a recording may set up, whatever its header says: 8K screens
// either way up, at most 8192 x 4320 pixels (about 100 MB at 24 bits).
constexpr int32_t kMaxPictureSide = 8192;
constexpr int64_t kMaxPicturePixels = int64_t{8192} * 4320;

// Why a key frame of width x height cannot set the picture up, or null when it can:
// a side of 0 (or less), a side past the header's when the header gives one (live
// sources fill it in from their first key frame), or past the limits above.
const char* PictureSizeProblem(int64_t width, int64_t height, const TKivFileHeader& header);

enum TSampleKind : int16_t {
    skDifference = 0, // XOR-combined region
    skKeyFrame = 1,
    skPointer = 2,
    skReplacement = 3,
    skMarker = 4,
};

// One sample record, header and payload, in one heap block owned by whoever holds it.
using TSampleBlock = std::unique_ptr<uint8_t[]>;

TKivFileHeader ParseFileHeader(const uint8_t* p);
void StoreFileHeader(const TKivFileHeader& h, uint8_t* p);
TSampleHeader ParseSampleHeader(const uint8_t* p);
void StoreSampleHeader(const TSampleHeader& h, uint8_t* p);
TIndexEntry ParseIndexEntry(const uint8_t* p);
void StoreIndexEntry(const TIndexEntry& e, uint8_t* p);

// Field reads straight from a sample block.
inline uint32_t SampleTimeStamp(const uint8_t* s) {
    return LoadLE32(s + 0);
}
inline int16_t SampleKind(const uint8_t* s) {
    return static_cast<int16_t>(LoadLE16(s + 8));
}
inline uint32_t SampleLength(const uint8_t* s) {
    return LoadLE32(s + 12);
}
// Header and payload together, computed in 64 bits so a Length near 2^32 cannot wrap.
inline uint64_t SampleRecordSize(const uint8_t* s) {
    return static_cast<uint64_t>(SampleLength(s)) + kSampleHeaderSize;
}

} // namespace kiv
