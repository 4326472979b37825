// The software picture: a 24-bit bitmap with top-down rows in blue, green, red order and the
// three raster operations the player draws with (copy, exclusive-or, one transparent colour).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kiv {

// A colour as 0x00BBGGRR, the layout Windows colour values have.
using TColorRef = uint32_t;

constexpr TColorRef MakeColor(uint8_t red, uint8_t green, uint8_t blue) {
    return TColorRef{red} | (TColorRef{green} << 8) | (TColorRef{blue} << 16);
}
constexpr uint8_t RedOf(TColorRef c) {
    return static_cast<uint8_t>(c);
}
constexpr uint8_t GreenOf(TColorRef c) {
    return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t BlueOf(TColorRef c) {
    return static_cast<uint8_t>(c >> 16);
}

// Pointer images use pure red for "no pixel here".
constexpr TColorRef kTransparentRed = MakeColor(255, 0, 0);

// Left and top inclusive, right and bottom exclusive.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    int64_t Width() const { return int64_t{Right} - Left; }
    int64_t Height() const { return int64_t{Bottom} - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};

// The part of r inside a width x height picture (empty when none is).
inline TRect ClipRect(const TRect& r, int32_t width, int32_t height) {
    auto clamp = [](int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; };
    const int32_t left = clamp(r.Left, 0, width), top = clamp(r.Top, 0, height);
    return {left, top, clamp(r.Right, left, width), clamp(r.Bottom, top, height)};
}

// The smallest rectangle holding both; an empty one adds nothing (two give {}).
inline TRect UnionRect(const TRect& a, const TRect& b) {
    if (b.IsEmpty()) return a.IsEmpty() ? TRect{} : a;
    if (a.IsEmpty()) return b;
    return {a.Left < b.Left ? a.Left : b.Left, a.Top < b.Top ? a.Top : b.Top,
            a.Right > b.Right ? a.Right : b.Right, a.Bottom > b.Bottom ? a.Bottom : b.Bottom};
}

enum class TBlitMode : uint8_t {
    Copy,        // the source replaces the destination
    Xor,         // source exclusive-or destination; twice restores
    Transparent, // like Copy, except source pixels of the key colour
};

// Largest picture the player will hold: each side and the pixel count.
constexpr int32_t kMaxBitmapSide = 32768;
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 28;

// Bytes per row of a 24-bit picture: width * 3 rounded up to a multiple of 4.
constexpr int64_t Stride24(int64_t width) {
    return (width * 3 + 3) & ~int64_t{3};
}

// Where a blit lands once clipped to both pictures.
struct TBlitSpan {
    int32_t DstX = 0;
    int32_t DstY = 0;
    int32_t SrcX = 0;
    int32_t SrcY = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

// Clips `srcRect` of a srcWidth x srcHeight source, drawn with its top-left corner at (x, y),
// to the source and to a dstWidth x dstHeight destination. False when nothing is left.
bool ClipBlit(int32_t dstWidth, int32_t dstHeight, int32_t x, int32_t y, int32_t srcWidth,
              int32_t srcHeight, const TRect& srcRect, TBlitSpan& span);

// Combines `pixels` 24-bit source pixels into a destination row. The rows must not overlap.
void BlitRow(uint8_t* dst, const uint8_t* src, size_t pixels, TBlitMode mode, TColorRef key);

class TBitmap24 {
public:
    TBitmap24() = default;

    // A black picture; false (and left empty) when a side is negative or the size is beyond
    // the limits above. 0 x 0 is allowed.
    bool Create(int32_t width, int32_t height);
    void Clear();

    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    size_t Stride() const { return FStride; }
    bool IsEmpty() const { return FWidth == 0 || FHeight == 0; }
    TRect Bounds() const { return TRect{0, 0, FWidth, FHeight}; }

    uint8_t* Bits() { return FPixels.data(); }
    const uint8_t* Bits() const { return FPixels.data(); }
    // Row y counted from the top; y must be inside the picture.
    uint8_t* Row(int32_t y) { return FPixels.data() + static_cast<size_t>(y) * FStride; }
    const uint8_t* Row(int32_t y) const {
        return FPixels.data() + static_cast<size_t>(y) * FStride;
    }

    bool Contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < FWidth && y < FHeight;
    }
    // Black outside the picture.
    TColorRef Pixel(int32_t x, int32_t y) const;
    // Ignored outside the picture.
    void SetPixel(int32_t x, int32_t y, TColorRef color);

    void Fill(TColorRef color) { Fill(Bounds(), color); }
    // Clipped to the picture.
    void Fill(const TRect& rect, TColorRef color);

    // Draws `srcRect` of `src` with its top-left corner at (x, y), clipped to both pictures.
    // `key` matters only for Transparent. The source may be this picture itself.
    void Blit(int32_t x, int32_t y, const TBitmap24& src, const TRect& srcRect, TBlitMode mode,
              TColorRef key = kTransparentRed);
    // The whole of `src`.
    void Blit(int32_t x, int32_t y, const TBitmap24& src, TBlitMode mode,
              TColorRef key = kTransparentRed) {
        Blit(x, y, src, src.Bounds(), mode, key);
    }

private:
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    size_t FStride = 0;
    std::vector<uint8_t> FPixels;
};

} // namespace kiv
