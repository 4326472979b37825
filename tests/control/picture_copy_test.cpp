#include "control/picture_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace kiv {
namespace {

TEST(PictureCopy, PlansTheAdaptiveGridAndZoom) {
    struct TCase {
        TRect Changed;
        TDisplayMode Mode;
        int32_t Zoom, Width, Height, SurfaceWidth, SurfaceHeight;
        TRect Source, Dest;
    };
    const TCase cases[] = {
        {{130, 40, 150, 60},
         dmAdaptive,
         100,
         800,
         600,
         800,
         600,
         {100, 0, 200, 100},
         {100, 0, 200, 100}},
        {{0, 0, 800, 600}, dmAdaptive, 50, 800, 600, 400, 300, {0, 0, 800, 600}, {0, 0, 400, 300}},
        // On the grid still grows a block, then the picture limits it.
        {{150, 150, 200, 200},
         dmAdaptive,
         100,
         800,
         600,
         800,
         600,
         {100, 100, 300, 300},
         {100, 100, 300, 300}},
        {{150, 150, 200, 200},
         dmAdaptive,
         100,
         250,
         220,
         250,
         220,
         {100, 100, 250, 220},
         {100, 100, 250, 220}},
        // Truncating zoom; the surface limits right and bottom.
        {{0, 0, 1024, 768},
         dmAdaptive,
         48,
         1024,
         768,
         491,
         368,
         {0, 0, 1024, 768},
         {0, 0, 491, 368}},
        {{930, 0, 999, 10},
         dmAdaptive,
         48,
         1024,
         768,
         491,
         368,
         {900, 0, 1000, 100},
         {432, 0, 480, 48}},
        {{1, 1, 2, 2}, dmAdaptive, 1, 800, 600, 8, 6, {0, 0, 100, 100}, {0, 0, 1, 1}},
        {{130, 40, 150, 60},
         dmOriginal,
         50,
         800,
         600,
         800,
         600,
         {130, 40, 150, 60},
         {130, 40, 150, 60}},
        {{130, 40, 150, 60},
         dmFull,
         50,
         800,
         600,
         800,
         600,
         {130, 40, 150, 60},
         {130, 40, 150, 60}},
    };
    for (const TCase& c : cases) {
        const TPictureCopy plan = PlanPictureCopy(c.Changed, c.Mode, c.Zoom, c.Width, c.Height,
                                                  c.SurfaceWidth, c.SurfaceHeight);
        EXPECT_EQ(plan.Source, c.Source) << c.Changed.Left << "," << c.Changed.Top;
        EXPECT_EQ(plan.Dest, c.Dest) << c.Changed.Left << "," << c.Changed.Top;
    }
}

// The formula as written, with the same clamped reads and nearest-pixel rule.
void PlainScale(TBitmap24& dst, const TRect& d, const TBitmap24& src, const TRect& s) {
    const int64_t sX = s.Left, sY = s.Top, sR = s.Right - 1, sB = s.Bottom - 1;
    const int64_t dX = d.Left, dY = d.Top, dW = d.Width(), dH = d.Height();
    const int64_t dR = dX + dW - 1, dB = dY + dH - 1;
    (void)sY;
    auto px = [&](int64_t row, int64_t col) {
        row = std::clamp<int64_t>(row, 0, src.Height() - 1);
        col = std::clamp<int64_t>(col, 0, src.Width() - 1);
        return src.Row(static_cast<int32_t>(row)) + 3 * col;
    };
    for (int64_t y = dY; y <= dB; ++y) {
        if (y < 0 || y >= dst.Height()) continue;
        const int64_t q = dB ? y * sB / dB : 0, r = dB ? y * sB % dB : 0, wy = dB - r;
        for (int64_t k = 0; k < dW; ++k) {
            if (dX + k < 0 || dX + k >= dst.Width()) continue;
            const int64_t c = dR ? k * sR / dR : 0, r2 = dR ? k * sR % dR : 0, wx = dR - r2;
            const uint8_t* p00 = px(q, sX + c);
            const uint8_t* p01 = r2 ? px(q, sX + c + 1) : p00;
            const uint8_t* p10 = r ? px(q + 1, sX + c) : p00;
            const uint8_t* p11 = r ? (r2 ? px(q + 1, sX + c + 1) : p10) : p01;
            uint8_t* out = dst.Row(static_cast<int32_t>(y)) + 3 * (dX + k);
            for (int ch = 0; ch < 3; ++ch) {
                const int64_t den = dR * dB;
                out[ch] = den == 0
                              ? p00[ch]
                              : static_cast<uint8_t>((wx * wy * p00[ch] + (dR - wx) * wy * p01[ch] +
                                                      wx * (dB - wy) * p10[ch] +
                                                      (dR - wx) * (dB - wy) * p11[ch] + den / 2) /
                                                     den);
            }
        }
    }
}

TEST(PictureCopy, FastScaleEqualsTheFormulaByteForByte) {
    std::mt19937 rng(10);
    auto between = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    for (int round = 0; round < 400; ++round) {
        TBitmap24 src;
        ASSERT_TRUE(src.Create(between(1, 700), between(1, 500)));
        for (size_t i = 0; i < src.Stride() * src.Height(); ++i)
            src.Bits()[i] = static_cast<uint8_t>(rng());
        const int32_t zoom = round % 10 == 0 ? 1 : between(1, 99);
        const int32_t sw = src.Width() * zoom / 100, sh = src.Height() * zoom / 100;
        TBitmap24 fast, plain;
        ASSERT_TRUE(fast.Create(std::max(sw, 1), std::max(sh, 1)));
        ASSERT_TRUE(plain.Create(std::max(sw, 1), std::max(sh, 1)));
        const int32_t l = between(0, src.Width() - 1), t = between(0, src.Height() - 1);
        const TRect changed{l, t, between(l + 1, src.Width()), between(t + 1, src.Height())};
        TPictureCopy plan = PlanPictureCopy(changed, dmAdaptive, zoom, src.Width(), src.Height(),
                                            fast.Width(), fast.Height());
        if (round % 7 == 0) plan.Source.Right += 50; // beyond the picture: clamped reads
        ScaleRectBilinear(PixelsOf(fast), plan.Dest, PixelsOf(std::as_const(src)), plan.Source);
        PlainScale(plain, plan.Dest, src, plan.Source);
        ASSERT_TRUE(
            std::equal(fast.Bits(), fast.Bits() + fast.Stride() * fast.Height(), plain.Bits()))
            << "round " << round << " zoom " << zoom;
    }
}

TEST(PictureCopy, DirectCopyIsClippedToBothBitmaps) {
    TBitmap24 src, dst;
    ASSERT_TRUE(src.Create(50, 40));
    ASSERT_TRUE(dst.Create(30, 60));
    src.Fill(MakeColor(1, 2, 3));
    EXPECT_TRUE(CopyRect(PixelsOf(dst), PixelsOf(std::as_const(src)), {20, 30, 100, 100}));
    EXPECT_EQ(dst.Pixel(29, 39), MakeColor(1, 2, 3));
    EXPECT_EQ(dst.Pixel(19, 39), 0u);
    EXPECT_EQ(dst.Pixel(29, 40), 0u);
    EXPECT_FALSE(CopyRect(PixelsOf(dst), PixelsOf(std::as_const(src)), {30, 0, 40, 10}));
}

TEST(PictureCopy, ExpandedRowsEqualThePlainOnesAtEveryWidth) {
    uint32_t one;
    const uint8_t bgr[] = {1, 2, 3};
    ExpandRowPlain(&one, bgr, 1);
    ASSERT_EQ(one, 0xFF030201u);
    std::mt19937 rng(4);
    for (int32_t n : {1, 2, 3, 4, 5, 6, 7, 9, 11, 13, 15, 17, 31, 33, 641, 1279}) {
        // Exactly n pixels: a read past the row shows in the sanitizer build.
        std::vector<uint8_t> in(size_t{3} * n);
        for (uint8_t& b : in)
            b = static_cast<uint8_t>(rng());
        std::vector<uint32_t> fast(n), plain(n);
        ExpandRow(fast.data(), in.data(), n);
        ExpandRowPlain(plain.data(), in.data(), n);
        EXPECT_EQ(fast, plain) << n;
    }
}

} // namespace
} // namespace kiv
