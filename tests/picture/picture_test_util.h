// Helpers for the picture tests: test data, reference pictures, comparisons, small BMP builders.
#pragma once

#include "platform/bitmap24.h"
#include "platform/byte_order.h"

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace kiv::test {

inline std::string BmpPath(const std::string& relative) {
    return std::string(KIV_TESTDATA_DIR) + "/bmp/" + relative;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A reference picture as 8-bit RGBA; the alpha is kept apart so that it can be ignored (the
// player draws every pixel opaque).
struct TRgbaImage {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Pixels;

    const uint8_t* At(int32_t x, int32_t y) const {
        return Pixels.data() + (static_cast<size_t>(y) * Width + x) * 4;
    }
};

inline bool ReadPngRgba(const std::string& path, TRgbaImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    image.Width = static_cast<int32_t>(png.width);
    image.Height = static_cast<int32_t>(png.height);
    const size_t pixels = size_t{png.width} * png.height;
    image.Pixels.assign(pixels * 4, 0);
    bool ok;
    if (png.format & PNG_FORMAT_FLAG_LINEAR) {
        // 16-bit samples: read them as stored (8-bit output would re-encode them as sRGB) and
        // round to 8 bits. Linear output is premultiplied, so pixels that are not fully opaque
        // are marked transparent and left out of comparisons.
        png.format = PNG_FORMAT_LINEAR_RGB_ALPHA;
        std::vector<uint16_t> wide(pixels * 4);
        ok = png_image_finish_read(&png, nullptr, wide.data(), 0, nullptr);
        for (size_t i = 0; ok && i < pixels; ++i) {
            for (size_t c = 0; c < 3; ++c)
                image.Pixels[i * 4 + c] =
                    static_cast<uint8_t>((wide[i * 4 + c] * 255u + 32767) / 65535);
            image.Pixels[i * 4 + 3] = wide[i * 4 + 3] == 65535 ? 255 : 0;
        }
    } else {
        png.format = PNG_FORMAT_RGBA;
        ok = png_image_finish_read(&png, nullptr, image.Pixels.data(), 0, nullptr);
    }
    if (!ok) png_image_free(&png);
    return ok;
}

struct TDiff {
    bool SameSize = false;
    int64_t Pixels = 0; // pixels whose colour differs
    int MaxChannel = 0; // largest difference of one channel
    double Mean = 0;    // mean absolute difference per channel
};

// Compares colours only; with `opaqueOnly`, pixels the reference leaves fully transparent
// are skipped.
inline TDiff Compare(const TBitmap24& bmp, const TRgbaImage& ref, bool opaqueOnly = false) {
    TDiff d;
    d.SameSize = bmp.Width() == ref.Width && bmp.Height() == ref.Height;
    if (!d.SameSize) return d;
    int64_t sum = 0, counted = 0;
    for (int32_t y = 0; y < ref.Height; ++y)
        for (int32_t x = 0; x < ref.Width; ++x) {
            const uint8_t* r = ref.At(x, y);
            if (opaqueOnly && r[3] == 0) continue;
            const uint8_t* b = bmp.Row(y) + x * 3;
            const int diffs[3] = {std::abs(b[2] - r[0]), std::abs(b[1] - r[1]),
                                  std::abs(b[0] - r[2])};
            bool differs = false;
            for (int c : diffs) {
                sum += c;
                differs |= c != 0;
                d.MaxChannel = std::max(d.MaxChannel, c);
            }
            d.Pixels += differs;
            ++counted;
        }
    d.Mean = counted ? static_cast<double>(sum) / (counted * 3) : 0;
    return d;
}

// Row padding included: a blit must not write there either.
inline bool SamePixels(const TBitmap24& a, const TBitmap24& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    return std::equal(a.Bits(), a.Bits() + a.Stride() * a.Height(), b.Bits());
}

inline void FillRandom(TBitmap24& bmp, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < bmp.Height(); ++y)
        for (int32_t x = 0; x < bmp.Width() * 3; ++x)
            bmp.Row(y)[x] = static_cast<uint8_t>(rng());
}

// Builds BMP file images byte by byte: a 40-byte info header, an optional colour table, bits.
struct TBmpBuilder {
    int32_t Width = 1;
    int32_t Height = 1;
    uint16_t BitCount = 24;
    uint32_t Compression = 0;
    std::vector<uint32_t> Palette; // 0x00RRGGBB
    std::vector<uint32_t> Masks;   // red, green, blue written after the header
    std::vector<uint8_t> Bits;

    std::vector<uint8_t> Build(bool fileHeader = true) const {
        std::vector<uint8_t> out(fileHeader ? 14 : 0);
        const size_t info = out.size();
        out.resize(info + 40);
        StoreLE32(&out[info], 40);
        StoreLE32(&out[info + 4], static_cast<uint32_t>(Width));
        StoreLE32(&out[info + 8], static_cast<uint32_t>(Height));
        StoreLE16(&out[info + 12], 1);
        StoreLE16(&out[info + 14], BitCount);
        StoreLE32(&out[info + 16], Compression);
        StoreLE32(&out[info + 32], static_cast<uint32_t>(Palette.size()));
        for (uint32_t m : Masks)
            Append32(out, m);
        for (uint32_t c : Palette)
            Append32(out, c);
        if (fileHeader) {
            out[0] = 'B';
            out[1] = 'M';
            StoreLE32(&out[10], static_cast<uint32_t>(out.size()));
        }
        out.insert(out.end(), Bits.begin(), Bits.end());
        if (fileHeader) StoreLE32(&out[2], static_cast<uint32_t>(out.size()));
        return out;
    }

private:
    static void Append32(std::vector<uint8_t>& out, uint32_t v) {
        out.resize(out.size() + 4);
        StoreLE32(&out[out.size() - 4], v);
    }
};

} // namespace kiv::test
