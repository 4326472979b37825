// Glue between the kind-1 payload path and libjpeg: header reading and decoding into
// 24-bit blue-green-red rows, straight into the caller's bitmap.
#pragma once

#include "codec/scratch_stream.h"

#include <cstdint>

namespace kiv {

constexpr uint32_t kBitmapFileHeaderSize = 14;
constexpr uint32_t kBitmapInfoHeaderSize = 40;

// Bytes of one 24-bit bitmap row, padded to 4 bytes.
constexpr uint64_t BitmapRowSize(uint64_t width) {
    return (width * 24 + 31) / 32 * 4;
}

// What the JPEG frame header says, with the bitmap sizes it implies (64-bit, so that
// absurd dimensions cannot wrap).
struct TJpegFrameInfo {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint64_t RowSize = 0;
    uint64_t ImageSize = 0;
};

// The 40-byte bitmap information header of the frame (positive height).
void StoreBitmapInfoHeader(const TJpegFrameInfo& frame, uint8_t* p);

// False when the stream does not start with a readable JPEG header.
bool ReadJpegHeader(TJpegFrameInfo& frame, const TScratchStream& stream);

// Decodes the picture of `frame` (from ReadJpegHeader on the same stream). The first
// scanline goes to `lastRow`, each further one a row size lower in memory. False on any
// decoding failure, and for pictures that are not three-component colour.
bool DecodeJpeg(const TScratchStream& stream, uint8_t* lastRow, const TJpegFrameInfo& frame);

} // namespace kiv
