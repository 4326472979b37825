#include "platform/bitmap24.h"

#include <algorithm>
#include <cstring>

namespace kiv {

bool ClipBlit(int32_t dstWidth, int32_t dstHeight, int32_t x, int32_t y, int32_t srcWidth,
              int32_t srcHeight, const TRect& srcRect, TBlitSpan& span) {
    // 64-bit throughout: coordinates near the ends of the 32-bit range must not wrap.
    int64_t left = srcRect.Left, top = srcRect.Top;
    int64_t right = srcRect.Right, bottom = srcRect.Bottom;
    int64_t dx = x, dy = y;
    if (left < 0) {
        dx -= left;
        left = 0;
    }
    if (top < 0) {
        dy -= top;
        top = 0;
    }
    right = std::min<int64_t>(right, srcWidth);
    bottom = std::min<int64_t>(bottom, srcHeight);
    if (dx < 0) {
        left -= dx;
        dx = 0;
    }
    if (dy < 0) {
        top -= dy;
        dy = 0;
    }
    right = std::min<int64_t>(right, left + (int64_t{dstWidth} - dx));
    bottom = std::min<int64_t>(bottom, top + (int64_t{dstHeight} - dy));
    if (right <= left || bottom <= top) return false;
    span.DstX = static_cast<int32_t>(dx);
    span.DstY = static_cast<int32_t>(dy);
    span.SrcX = static_cast<int32_t>(left);
    span.SrcY = static_cast<int32_t>(top);
    span.Width = static_cast<int32_t>(right - left);
    span.Height = static_cast<int32_t>(bottom - top);
    return true;
}

namespace {

void XorBytes(uint8_t* dst, const uint8_t* src, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t a, b;
        std::memcpy(&a, dst + i, 8);
        std::memcpy(&b, src + i, 8);
        a ^= b;
        std::memcpy(dst + i, &a, 8);
    }
    for (; i < n; ++i)
        dst[i] ^= src[i];
}

void KeyedCopy(uint8_t* dst, const uint8_t* src, size_t pixels, TColorRef key) {
    const uint8_t kb = BlueOf(key), kg = GreenOf(key), kr = RedOf(key);
    // Copy each run of drawn pixels at once; pointer images are mostly key colour.
    size_t x = 0;
    while (x < pixels) {
        while (x < pixels && src[x * 3] == kb && src[x * 3 + 1] == kg && src[x * 3 + 2] == kr)
            ++x;
        size_t start = x;
        while (x < pixels && !(src[x * 3] == kb && src[x * 3 + 1] == kg && src[x * 3 + 2] == kr))
            ++x;
        if (x > start) std::memcpy(dst + start * 3, src + start * 3, (x - start) * 3);
    }
}

} // namespace

void BlitRow(uint8_t* dst, const uint8_t* src, size_t pixels, TBlitMode mode, TColorRef key) {
    switch (mode) {
    case TBlitMode::Copy:
        std::memcpy(dst, src, pixels * 3);
        break;
    case TBlitMode::Xor:
        XorBytes(dst, src, pixels * 3);
        break;
    case TBlitMode::Transparent:
        KeyedCopy(dst, src, pixels, key);
        break;
    }
}

bool TBitmap24::Create(int32_t width, int32_t height) {
    Clear();
    if (width < 0 || height < 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        int64_t{width} * height > kMaxBitmapPixels)
        return false;
    const int64_t stride = Stride24(width);
    FPixels.assign(static_cast<size_t>(stride * height), 0);
    FWidth = width;
    FHeight = height;
    FStride = static_cast<size_t>(stride);
    return true;
}

void TBitmap24::Clear() {
    FWidth = FHeight = 0;
    FStride = 0;
    FPixels.clear();
    FPixels.shrink_to_fit();
}

TColorRef TBitmap24::Pixel(int32_t x, int32_t y) const {
    if (!Contains(x, y)) return 0;
    const uint8_t* p = Row(y) + static_cast<size_t>(x) * 3;
    return MakeColor(p[2], p[1], p[0]);
}

void TBitmap24::SetPixel(int32_t x, int32_t y, TColorRef color) {
    if (!Contains(x, y)) return;
    uint8_t* p = Row(y) + static_cast<size_t>(x) * 3;
    p[0] = BlueOf(color);
    p[1] = GreenOf(color);
    p[2] = RedOf(color);
}

void TBitmap24::Fill(const TRect& rect, TColorRef color) {
    const int32_t left = std::max(rect.Left, 0), top = std::max(rect.Top, 0);
    const int32_t right = std::min(rect.Right, FWidth), bottom = std::min(rect.Bottom, FHeight);
    if (right <= left || bottom <= top) return;
    const size_t pixels = static_cast<size_t>(right - left);
    uint8_t* first = Row(top) + static_cast<size_t>(left) * 3;
    for (size_t i = 0; i < pixels; ++i) {
        first[i * 3] = BlueOf(color);
        first[i * 3 + 1] = GreenOf(color);
        first[i * 3 + 2] = RedOf(color);
    }
    for (int32_t y = top + 1; y < bottom; ++y)
        std::memcpy(Row(y) + static_cast<size_t>(left) * 3, first, pixels * 3);
}

void TBitmap24::Blit(int32_t x, int32_t y, const TBitmap24& src, const TRect& srcRect,
                     TBlitMode mode, TColorRef key) {
    TBlitSpan s;
    if (!ClipBlit(FWidth, FHeight, x, y, src.FWidth, src.FHeight, srcRect, s)) return;
    const size_t pixels = static_cast<size_t>(s.Width);
    if (&src == this) {
        const bool overlap = s.SrcX < s.DstX + s.Width && s.DstX < s.SrcX + s.Width &&
                             s.SrcY < s.DstY + s.Height && s.DstY < s.SrcY + s.Height;
        if (overlap) {
            // Rare (scrolling a picture onto itself): take the source out first.
            TBitmap24 copy;
            copy.Create(s.Width, s.Height);
            copy.Blit(0, 0, *this, TRect{s.SrcX, s.SrcY, s.SrcX + s.Width, s.SrcY + s.Height},
                      TBlitMode::Copy);
            Blit(s.DstX, s.DstY, copy, mode, key);
            return;
        }
    }
    for (int32_t row = 0; row < s.Height; ++row)
        BlitRow(Row(s.DstY + row) + static_cast<size_t>(s.DstX) * 3,
                src.Row(s.SrcY + row) + static_cast<size_t>(s.SrcX) * 3, pixels, mode, key);
}

} // namespace kiv
