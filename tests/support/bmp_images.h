// Small BMP file images built pixel by pixel, as the decoder hands them to the back buffer,
// and a comparison of pictures.
#pragma once

#include "platform/bitmap24.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace kiv::test {

namespace bmp_detail {
inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
} // namespace bmp_detail

// A BMP file image (file header, 40-byte info header, palette, bits). For 24 and 32 bits
// `pixel` gives the colour of (x, y), counted from the top; for 4 and 8 bits it gives the
// palette index. Rows are stored bottom-up unless topDown.
inline std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, int bits,
                                    const std::function<uint32_t(int32_t, int32_t)>& pixel,
                                    const std::vector<TColorRef>& palette = {},
                                    bool topDown = false) {
    using namespace bmp_detail;
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const size_t bitsOffset = 14 + 40 + palette.size() * 4;
    const size_t total = bitsOffset + stride * static_cast<size_t>(height);
    std::vector<uint8_t> b(total, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(total));
    Put32(b, 10, static_cast<uint32_t>(bitsOffset));
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<uint32_t>(width));
    Put32(b, 22, static_cast<uint32_t>(topDown ? -height : height));
    Put16(b, 26, 1);
    Put16(b, 28, static_cast<uint16_t>(bits));
    Put32(b, 34, static_cast<uint32_t>(stride * static_cast<size_t>(height)));
    Put32(b, 46, static_cast<uint32_t>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i) {
        b[54 + i * 4] = BlueOf(palette[i]);
        b[54 + i * 4 + 1] = GreenOf(palette[i]);
        b[54 + i * 4 + 2] = RedOf(palette[i]);
    }
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row =
            b.data() + bitsOffset + stride * static_cast<size_t>(topDown ? y : height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t v = pixel(x, y);
            switch (bits) {
            case 4:
                row[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[x] = static_cast<uint8_t>(v);
                break;
            case 24:
            case 32: {
                uint8_t* p = row + static_cast<size_t>(x) * (bits / 8);
                p[0] = BlueOf(v);
                p[1] = GreenOf(v);
                p[2] = RedOf(v);
                break;
            }
            default:
                break;
            }
        }
    }
    return b;
}

inline std::vector<uint8_t> SolidBmp(int32_t width, int32_t height, TColorRef color) {
    return MakeBmp(width, height, 24, [color](int32_t, int32_t) { return color; });
}

// No two pixels alike within 36 x 23, so that misplaced or lost pixels show.
inline TColorRef PatternColor(int32_t x, int32_t y) {
    return MakeColor(static_cast<uint8_t>(x * 7 + 3), static_cast<uint8_t>(y * 11 + 5),
                     static_cast<uint8_t>(x * 3 + y * 5 + 1));
}

inline std::vector<uint8_t> PatternBmp(int32_t width, int32_t height) {
    return MakeBmp(width, height, 24, PatternColor);
}

// Equal sizes and pixels; names the first pixel that differs.
inline ::testing::AssertionResult SamePicture(const TBitmap24& got, const TBitmap24& want) {
    if (got.Width() != want.Width() || got.Height() != want.Height())
        return ::testing::AssertionFailure() << "size " << got.Width() << "x" << got.Height();
    for (int32_t y = 0; y < want.Height(); ++y)
        for (int32_t x = 0; x < want.Width(); ++x)
            if (got.Pixel(x, y) != want.Pixel(x, y))
                return ::testing::AssertionFailure()
                       << "first difference at (" << x << ", " << y << "): " << std::hex
                       << got.Pixel(x, y) << " instead of " << want.Pixel(x, y);
    return ::testing::AssertionSuccess();
}

} // namespace kiv::test
