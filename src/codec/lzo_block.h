// LZO1X block decoding bounded by the destination's capacity.
#pragma once

#include <cstdint>

namespace kiv {

// What the exported Decompress assumes the caller's destination holds.
constexpr uint32_t kDecompressCapacity = 5242880;

// Decodes one LZO1X block of `len` bytes into `dst`. Returns the bytes written, or -1
// when the block is malformed, has input left after its end marker, would not fit in
// `capacity` bytes, or `len` is negative.
int32_t DecompressBounded(const uint8_t* src, int32_t len, uint8_t* dst, uint32_t capacity);

} // namespace kiv
