// Copying a changed rectangle of the composed picture to a surface's bitmap:
// which rectangles (the adaptive grid and zoom), the direct copy and the
// bilinear scaling, on any 24-bit memory (a TBitmap24 or a toolkit image);
// and the rows widened to 32 bits for painting.
#pragma once

#include "control/control_types.h"
#include "platform/bitmap24.h"

#include <cstddef>
#include <cstdint>

namespace kiv {

// 24-bit blue-green-red rows, top-down, Stride bytes apart.
struct TPixels {
    uint8_t* Bits = nullptr;
    size_t Stride = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};
struct TConstPixels {
    const uint8_t* Bits = nullptr;
    size_t Stride = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};
inline TPixels PixelsOf(TBitmap24& b) {
    return {b.Bits(), b.Stride(), b.Width(), b.Height()};
}
inline TConstPixels PixelsOf(const TBitmap24& b) {
    return {b.Bits(), b.Stride(), b.Width(), b.Height()};
}

struct TPictureCopy {
    TRect Source; // recording pixels
    TRect Dest;   // surface bitmap pixels
    bool Direct() const { return Source == Dest; }
};

// changed: the rectangle the play thread reported. width, height: the
// recording's picture; surfaceWidth, surfaceHeight: the surface's bitmap.
TPictureCopy PlanPictureCopy(const TRect& changed, TDisplayMode mode, int32_t zoom, int32_t width,
                             int32_t height, int32_t surfaceWidth, int32_t surfaceHeight);

// Copies s of src to the same place in dst, clipped to both. False when
// nothing was left to copy.
bool CopyRect(const TPixels& dst, const TConstPixels& src, const TRect& s);

// Scales s of src into d of dst with the integer bilinear formula: inclusive
// edges, the absolute destination row, the column offset inside d. Reads are
// clamped to src and writes clipped to dst; a destination whose inclusive right
// or bottom edge is 0 takes the nearest pixel.
void ScaleRectBilinear(const TPixels& dst, const TRect& d, const TConstPixels& src, const TRect& s);

// n blue-green-red pixels of in as 0xFFRRGGBB words (a toolkit's opaque 32-bit
// layout); reads no byte past the n-th pixel. ExpandRowPlain is the reference
// the faster paths must match.
void ExpandRow(uint32_t* out, const uint8_t* in, int32_t n);
void ExpandRowPlain(uint32_t* out, const uint8_t* in, int32_t n);

} // namespace kiv
