// Pictures of the synthetic screen: 24-bit top-down rows of blue, green, red,
// rectangles, and the few drawing operations the screen model needs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kiv::synth {

// Right and bottom exclusive.
struct TRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    int64_t Area() const { return IsEmpty() ? 0 : int64_t(Width()) * Height(); }
    bool Contains(int32_t x, int32_t y) const {
        return x >= Left && x < Right && y >= Top && y < Bottom;
    }
    TRect Offset(int32_t dx, int32_t dy) const {
        return {Left + dx, Top + dy, Right + dx, Bottom + dy};
    }
    TRect Intersect(const TRect& o) const {
        TRect r{std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right),
                std::min(Bottom, o.Bottom)};
        return r.IsEmpty() ? TRect{} : r;
    }
    // The bounding rectangle; an empty operand adds nothing.
    TRect Union(const TRect& o) const {
        if (IsEmpty()) return o;
        if (o.IsEmpty()) return *this;
        return {std::min(Left, o.Left), std::min(Top, o.Top), std::max(Right, o.Right),
                std::max(Bottom, o.Bottom)};
    }
    bool operator==(const TRect&) const = default;
};

inline TRect RectXYWH(int32_t x, int32_t y, int32_t w, int32_t h) {
    return {x, y, x + w, y + h};
}

struct TColor {
    uint8_t B = 0, G = 0, R = 0;
    bool operator==(const TColor&) const = default;
};

constexpr TColor Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return TColor{b, g, r};
}
// The pointer's transparent colour.
constexpr TColor kTransparentRed = Rgb(255, 0, 0);

// Linear blend, t in 0..256.
inline TColor Mix(TColor a, TColor b, int t) {
    auto m = [t](uint8_t x, uint8_t y) { return uint8_t((x * (256 - t) + y * t) >> 8); };
    return {m(a.B, b.B), m(a.G, b.G), m(a.R, b.R)};
}

class TPicture {
public:
    TPicture() = default;
    TPicture(int32_t width, int32_t height) { Resize(width, height); }

    void Resize(int32_t width, int32_t height) {
        FWidth = std::max(width, 0);
        FHeight = std::max(height, 0);
        FBits.assign(size_t(FWidth) * FHeight * 3, 0);
    }
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    size_t Stride() const { return size_t(FWidth) * 3; }
    TRect Bounds() const { return {0, 0, FWidth, FHeight}; }
    uint8_t* Row(int32_t y) { return FBits.data() + size_t(y) * Stride(); }
    const uint8_t* Row(int32_t y) const { return FBits.data() + size_t(y) * Stride(); }
    uint8_t* At(int32_t x, int32_t y) { return Row(y) + size_t(x) * 3; }
    const uint8_t* At(int32_t x, int32_t y) const { return Row(y) + size_t(x) * 3; }
    TColor Pixel(int32_t x, int32_t y) const {
        const uint8_t* p = At(x, y);
        return {p[0], p[1], p[2]};
    }
    void SetPixel(int32_t x, int32_t y, TColor c) {
        uint8_t* p = At(x, y);
        p[0] = c.B;
        p[1] = c.G;
        p[2] = c.R;
    }
    const std::vector<uint8_t>& Bytes() const { return FBits; }
    bool operator==(const TPicture&) const = default;

private:
    int32_t FWidth = 0, FHeight = 0;
    std::vector<uint8_t> FBits;
};

// Every operation clips to the picture and to `clip`.
void FillRect(TPicture& pic, const TRect& r, TColor c);
void FillRect(TPicture& pic, const TRect& r, TColor c, const TRect& clip);
// Top colour to bottom colour.
void FillGradient(TPicture& pic, const TRect& r, TColor top, TColor bottom);
// A one-pixel outline.
void FrameRect(TPicture& pic, const TRect& r, TColor c);
// Raised (or sunken) 3-D edge as on buttons.
void BevelRect(TPicture& pic, const TRect& r, bool raised);
// Copies src's srcRect to dst at (dx, dy).
void Blit(TPicture& dst, int32_t dx, int32_t dy, const TPicture& src, const TRect& srcRect,
          const TRect& clip);
// Copies the same rectangle between two pictures of one size.
void CopyRect(TPicture& dst, const TPicture& src, const TRect& r);
// The picture scaled down to width x height, each pixel the mean of its source area.
TPicture Shrink(const TPicture& src, int32_t width, int32_t height);
// Moves the rows of r up by dy pixels (scrolling); the uncovered rows keep their pixels.
void ScrollUp(TPicture& pic, const TRect& r, int32_t dy);

// The built-in font: 5 × 7 glyphs with descenders in cells of 6 × 10, scaled.
constexpr int32_t kCellWidth = 6;
constexpr int32_t kCellHeight = 10;
int32_t TextWidth(std::string_view text, int32_t scale);
// Draws text with its cell's top-left at (x, y); returns the x after it.
int32_t DrawText(TPicture& pic, int32_t x, int32_t y, std::string_view text, TColor c,
                 int32_t scale, const TRect& clip);
int32_t DrawText(TPicture& pic, int32_t x, int32_t y, std::string_view text, TColor c,
                 int32_t scale);

} // namespace kiv::synth
