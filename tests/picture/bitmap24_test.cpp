// TBitmap24: geometry, fills and the three blits against a per-pixel reference.
#include "picture_test_util.h"

#include "platform/bitmap24.h"

#include <gtest/gtest.h>

#include <climits>

namespace kiv::test {
namespace {

// What a blit must do, pixel by pixel: every destination pixel whose source pixel lies in both
// the rectangle and the source picture is combined; the source is read as it was before.
void NaiveBlit(TBitmap24& dst, int32_t x, int32_t y, const TBitmap24& src, const TRect& r,
               TBlitMode mode, TColorRef key) {
    const TBitmap24 before = src;
    for (int32_t dy = 0; dy < dst.Height(); ++dy)
        for (int32_t dx = 0; dx < dst.Width(); ++dx) {
            const int64_t sx = int64_t{dx} - x + r.Left, sy = int64_t{dy} - y + r.Top;
            if (sx < r.Left || sx >= r.Right || sy < r.Top || sy >= r.Bottom) continue;
            if (sx < 0 || sy < 0 || sx >= src.Width() || sy >= src.Height()) continue;
            const TColorRef c = before.Pixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
            switch (mode) {
            case TBlitMode::Copy:
                dst.SetPixel(dx, dy, c);
                break;
            case TBlitMode::Xor:
                dst.SetPixel(dx, dy, c ^ dst.Pixel(dx, dy));
                break;
            case TBlitMode::Transparent:
                if (c != (key & 0xFFFFFF)) dst.SetPixel(dx, dy, c);
                break;
            }
        }
}

TBitmap24 Random(int32_t w, int32_t h, uint32_t seed) {
    TBitmap24 b;
    EXPECT_TRUE(b.Create(w, h));
    FillRandom(b, seed);
    return b;
}

constexpr TBlitMode kModes[] = {TBlitMode::Copy, TBlitMode::Xor, TBlitMode::Transparent};

TEST(Bitmap24, RowsArePaddedToFourBytesAndStartBlack) {
    const size_t strides[] = {0, 4, 8, 12, 12, 16, 20, 24};
    for (int32_t w = 0; w < 8; ++w) {
        TBitmap24 b;
        ASSERT_TRUE(b.Create(w, 3));
        EXPECT_EQ(b.Stride(), strides[w]) << w;
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < w; ++x)
                EXPECT_EQ(b.Pixel(x, y), 0u);
    }
    TBitmap24 b;
    ASSERT_TRUE(b.Create(2, 2));
    b.SetPixel(1, 0, MakeColor(1, 2, 3));
    EXPECT_EQ(b.Row(0)[3], 3); // blue, green, red
    EXPECT_EQ(b.Row(0)[4], 2);
    EXPECT_EQ(b.Row(0)[5], 1);
    EXPECT_EQ(b.Pixel(1, 0), MakeColor(1, 2, 3));
    b.SetPixel(2, 0, 0xFFFFFF); // outside: ignored
    b.SetPixel(-1, 1, 0xFFFFFF);
    EXPECT_EQ(b.Pixel(2, 0), 0u);
    EXPECT_EQ(b.Pixel(0, 1), 0u);
    EXPECT_EQ(b.Pixel(1, 1), 0u);
}

TEST(Bitmap24, RefusesSizesBeyondTheLimits) {
    TBitmap24 b;
    EXPECT_FALSE(b.Create(-1, 5));
    EXPECT_FALSE(b.Create(5, -1));
    EXPECT_FALSE(b.Create(kMaxBitmapSide + 1, 1));
    EXPECT_FALSE(b.Create(1, kMaxBitmapSide + 1));
    EXPECT_FALSE(b.Create(kMaxBitmapSide, kMaxBitmapPixels / kMaxBitmapSide + 1));
    EXPECT_TRUE(b.IsEmpty());
    ASSERT_TRUE(b.Create(kMaxBitmapSide, 1));
    EXPECT_EQ(b.Stride(), size_t{kMaxBitmapSide} * 3);
}

TEST(Bitmap24, FillIsClippedToThePicture) {
    for (const TRect& r : {TRect{-3, -2, 2, 3}, TRect{4, 1, 20, 20}, TRect{-5, -5, 50, 50},
                           TRect{2, 2, 2, 5}, TRect{9, 0, 12, 4}, TRect{3, 4, 1, 1}}) {
        TBitmap24 b = Random(7, 5, 1), expect = b;
        b.Fill(r, MakeColor(9, 8, 7));
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 7; ++x)
                if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom)
                    expect.SetPixel(x, y, MakeColor(9, 8, 7));
        EXPECT_TRUE(SamePixels(b, expect))
            << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
    }
}

// Every placement from wholly off one side to wholly off the other, with source rectangles
// inside, across and outside the source, in all three modes.
TEST(Bitmap24, BlitsAreClippedAtEveryEdgeAndCorner) {
    TBitmap24 src = Random(7, 5, 2);
    src.SetPixel(0, 0, kTransparentRed);
    src.SetPixel(3, 2, kTransparentRed);
    src.SetPixel(6, 4, kTransparentRed);
    const TRect rects[] = {src.Bounds(),     {1, 1, 5, 4}, {-2, -1, 4, 3}, {3, 2, 10, 9},
                           {-3, -3, 12, 12}, {2, 2, 2, 4}, {5, 3, 1, 1},   {8, 0, 12, 5},
                           {0, -4, 7, 0},    {6, 4, 7, 5}};
    int checked = 0;
    // Two widths: one whose rows are padded, one whose rows are not.
    for (int32_t dstWidth : {11, 12}) {
        const TBitmap24 start = Random(dstWidth, 9, 3);
        for (TBlitMode mode : kModes)
            for (const TRect& r : rects)
                for (int32_t y = -7; y <= 10; ++y)
                    for (int32_t x = -9; x <= 13; ++x) {
                        TBitmap24 got = start, want = start;
                        got.Blit(x, y, src, r, mode);
                        NaiveBlit(want, x, y, src, r, mode, kTransparentRed);
                        ASSERT_TRUE(SamePixels(got, want))
                            << "mode " << int(mode) << " at " << x << "," << y << " rect " << r.Left
                            << "," << r.Top << "," << r.Right << "," << r.Bottom;
                        ++checked;
                    }
    }
    EXPECT_GT(checked, 1000);
}

TEST(Bitmap24, CoordinatesAtTheEndsOfTheRangeDoNotWrap) {
    const TBitmap24 src = Random(6, 4, 4);
    const TBitmap24 start = Random(5, 5, 5);
    const int32_t coords[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 2, INT32_MAX - 1, INT32_MAX};
    const TRect rects[] = {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
                           {INT32_MAX - 1, 0, INT32_MAX, 4},
                           {0, INT32_MIN, 6, INT32_MIN + 3},
                           {-2, -2, 3, 3}};
    for (TBlitMode mode : kModes)
        for (const TRect& r : rects)
            for (int32_t x : coords)
                for (int32_t y : coords) {
                    TBitmap24 got = start, want = start;
                    got.Blit(x, y, src, r, mode);
                    NaiveBlit(want, x, y, src, r, mode, kTransparentRed);
                    ASSERT_TRUE(SamePixels(got, want)) << x << "," << y;
                }
}

TEST(Bitmap24, BlitsFromAndToEmptyPicturesDoNothing) {
    TBitmap24 empty, b = Random(3, 3, 6);
    const TBitmap24 before = b;
    b.Blit(0, 0, empty, TBlitMode::Copy);
    empty.Blit(0, 0, b, TBlitMode::Copy);
    EXPECT_TRUE(SamePixels(b, before));
}

TEST(Bitmap24, XorTwiceRestoresThePicture) {
    const TBitmap24 src = Random(1920 / 8, 1080 / 8, 7);
    const TBitmap24 start = Random(200, 120, 8);
    TBitmap24 b = start;
    b.Blit(-13, 9, src, TBlitMode::Xor);
    EXPECT_FALSE(SamePixels(b, start));
    b.Blit(-13, 9, src, TBlitMode::Xor);
    EXPECT_TRUE(SamePixels(b, start));
}

TEST(Bitmap24, ColourKeyLeavesOnlyPureRedTransparent) {
    TBitmap24 shape;
    ASSERT_TRUE(shape.Create(8, 1));
    const TColorRef colours[] = {
        kTransparentRed,    MakeColor(254, 0, 0), MakeColor(255, 1, 0),     MakeColor(255, 0, 1),
        MakeColor(0, 0, 0), MakeColor(0, 0, 255), MakeColor(255, 255, 255), kTransparentRed};
    for (int32_t x = 0; x < 8; ++x)
        shape.SetPixel(x, 0, colours[x]);
    TBitmap24 pic;
    ASSERT_TRUE(pic.Create(8, 1));
    pic.Fill(MakeColor(10, 20, 30));
    pic.Blit(0, 0, shape, TBlitMode::Transparent);
    for (int32_t x = 0; x < 8; ++x)
        EXPECT_EQ(pic.Pixel(x, 0),
                  colours[x] == kTransparentRed ? MakeColor(10, 20, 30) : colours[x])
            << x;
    // Another key colour works the same way.
    pic.Fill(MakeColor(10, 20, 30));
    pic.Blit(0, 0, shape, TBlitMode::Transparent, MakeColor(0, 0, 0));
    EXPECT_EQ(pic.Pixel(0, 0), kTransparentRed);
    EXPECT_EQ(pic.Pixel(4, 0), MakeColor(10, 20, 30));
}

TEST(Bitmap24, BlitOntoItselfReadsTheSourceAsItWas) {
    const TBitmap24 start = Random(9, 7, 9);
    const int32_t moves[][2] = {{1, 1}, {-1, 0}, {0, -2}, {3, -1}, {0, 0}, {-4, 3}};
    for (TBlitMode mode : kModes)
        for (const auto& m : moves) {
            TBitmap24 got = start, want = start;
            const TRect r{1, 1, 8, 6};
            got.Blit(1 + m[0], 1 + m[1], got, r, mode);
            NaiveBlit(want, 1 + m[0], 1 + m[1], want, r, mode, kTransparentRed);
            ASSERT_TRUE(SamePixels(got, want)) << int(mode) << " " << m[0] << "," << m[1];
        }
    TBitmap24 b = start;
    b.Blit(0, 0, b, TBlitMode::Xor);
    for (int32_t y = 0; y < b.Height(); ++y)
        for (int32_t x = 0; x < b.Width(); ++x)
            ASSERT_EQ(b.Pixel(x, y), 0u);
}

} // namespace
} // namespace kiv::test
