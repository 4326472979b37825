// Payload encoders and change detection of the recording generator.
#include "synth/diff.h"
#include "synth/encode.h"
#include "synth/rng.h"
#include "synth_test_player.h"

#include "platform/error.h"

#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <zlib.h>

namespace kiv::synth {
namespace {

TPicture Noise(int32_t w, int32_t h, uint32_t seed) {
    TPicture p(w, h);
    TRng rng(seed);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            p.SetPixel(x, y, Rgb(uint8_t(rng.Next()), uint8_t(rng.Next()), uint8_t(rng.Next())));
    return p;
}

TEST(SynthBmp, TwentyFourBitRowsAreBottomUpAndPadded) {
    TPicture p(5, 4);
    p.SetPixel(1, 3, Rgb(10, 20, 30)); // bottom row of the region below
    p.SetPixel(1, 1, Rgb(40, 50, 60)); // its top row
    TPayloadEncoder enc;
    const auto& bmp = enc.Encode(p, {1, 1, 4, 4}, ckRaw);
    test::TBmpInfo info;
    ASSERT_EQ(test::ParseBmp(bmp.data(), bmp.size(), info), "");
    EXPECT_EQ(info.Width, 3);
    EXPECT_EQ(info.Height, 3); // positive: stored bottom row first
    EXPECT_EQ(info.Bits, 24);
    EXPECT_EQ(info.PixelOffset, 54u);
    EXPECT_EQ(bmp.size(), 54u + 12u * 3u); // 9 bytes of pixels padded to 12
    EXPECT_EQ(LoadLE32(bmp.data() + 34), 36u);
    EXPECT_EQ(bmp[54], 30); // first stored row = picture row 3, blue first
    EXPECT_EQ(bmp[56], 10);
    EXPECT_EQ(bmp[54 + 24], 60); // last stored row = picture row 1
    EXPECT_EQ(bmp[54 + 9], 0);   // padding
}

TEST(SynthBmp, BitDepthFollowsTheDecodeBuffer) {
    // 1024 pixels make rows of 3072 bytes: 1706 rows fit 5 MiB with the headers, 1707 do not.
    EXPECT_EQ(PlayableBits(1024, 1706), 24);
    EXPECT_EQ(BmpImageSize(1024, 1706, 24), 54u + 3072u * 1706u);
    EXPECT_EQ(PlayableBits(1024, 1707), 16);
    EXPECT_EQ(PlayableBits(1920, 1080), 16);
    EXPECT_EQ(PlayableBits(1280, 1024), 24);
    EXPECT_EQ(PlayableBits(2560, 1440), 0);

    TPicture p(1920, 1080);
    p.SetPixel(0, 1079, Rgb(0xF8, 0x08, 0x80));
    TPayloadEncoder enc;
    const auto& bmp = enc.Encode(p, p.Bounds(), ckRaw);
    EXPECT_EQ(enc.LastBits(), 16);
    EXPECT_LE(bmp.size(), kDecodeBufferSize);
    EXPECT_EQ(LoadLE16(bmp.data() + 28), 16);
    EXPECT_EQ(LoadLE16(bmp.data() + 54), (31 << 10) | (1 << 5) | 16); // RGB555, red high
    EXPECT_THROW(enc.Encode(p, p.Bounds(), ckJpeg), EKivError);
    // Forced 24 bits for benchmarks, beyond what the player takes.
    EXPECT_EQ(enc.Encode(p, p.Bounds(), ckRaw, TBmpDepth::Bits24).size(), 54u + 5760u * 1080u);
}

TEST(SynthBmp, XorRegionHoldsTheDifference) {
    TPicture a = Noise(8, 6, 1), b = Noise(8, 6, 2);
    TPayloadEncoder enc;
    const auto& bmp = enc.EncodeXor(a, b, {2, 1, 7, 5}, ckRaw);
    test::TTestPlayer player(8, 6);
    player.Picture = a;
    TSampleHeader h{};
    h.Kind = skDifference;
    h.Left = 2;
    h.Top = 1;
    player.Apply(h, bmp.data(), bmp.size());
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 1 && y < 5;
            EXPECT_EQ(player.Picture.Pixel(x, y), (inside ? b : a).Pixel(x, y)) << x << "," << y;
        }
    EXPECT_THROW(enc.EncodeXor(a, b, {0, 0, 2, 2}, ckJpeg), EKivError);
    EXPECT_THROW(enc.Encode(a, {4, 4, 9, 6}, ckRaw), EKivError);
}

TEST(SynthBmp, CompressedPayloadsInflateToTheBitmap) {
    TPicture p = Noise(50, 30, 3);
    FillRect(p, {0, 0, 50, 15}, Rgb(200, 200, 200));
    TPayloadEncoder enc;
    const std::vector<uint8_t> raw = enc.Encode(p, {3, 2, 47, 29}, ckRaw);

    const std::vector<uint8_t> z = enc.Encode(p, {3, 2, 47, 29}, ckZlib);
    std::vector<uint8_t> out(raw.size() + 16);
    uLongf zLen = out.size();
    ASSERT_EQ(uncompress(out.data(), &zLen, z.data(), z.size()), Z_OK);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + long(zLen)), raw);

    const std::vector<uint8_t> l = enc.Encode(p, {3, 2, 47, 29}, ckLzo);
    ASSERT_EQ(lzo_init(), LZO_E_OK);
    lzo_uint lLen = out.size();
    ASSERT_EQ(lzo1x_decompress_safe(l.data(), l.size(), out.data(), &lLen, nullptr), LZO_E_OK);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + long(lLen)), raw);

    const std::vector<uint8_t> j = enc.Encode(p, {3, 2, 47, 29}, ckJpeg);
    ASSERT_GE(j.size(), 4u);
    EXPECT_EQ(j[0], 0xFF);
    EXPECT_EQ(j[1], 0xD8);
    EXPECT_EQ(j[j.size() - 2], 0xFF);
    EXPECT_EQ(j[j.size() - 1], 0xD9);
}

TEST(SynthDiff, TileMaskRectsCoverMarkedTilesOnly) {
    TTileMask m;
    m.Reset(100, 50); // 7 x 4 tiles, the last ones partial
    EXPECT_TRUE(m.Rects().empty());
    m.Mark({90, 40, 200, 200});
    m.Mark({0, 0, 1, 1});
    m.Mark({20, 0, 40, 40}); // tiles 1-2 of rows 0-2
    const auto rects = m.Rects();
    int64_t area = 0;
    for (const TRect& r : rects) {
        area += r.Area();
        EXPECT_EQ(r.Intersect({0, 0, 100, 50}), r);
    }
    EXPECT_EQ(area, 16 * 16 + 32 * 48 + 20 * 18);
    m.Clear();
    EXPECT_FALSE(m.Any());
    EXPECT_TRUE(m.Rects().empty());
}

TEST(SynthDiff, ChangedRegionsCoverEveryChangeWithoutOverlap) {
    TRng rng(7);
    for (int round = 0; round < 40; ++round) {
        TPicture a = Noise(200, 120, uint32_t(round)), b = a;
        const int changes = rng.Range(0, 30);
        for (int i = 0; i < changes; ++i) {
            TRect r =
                RectXYWH(rng.Range(0, 199), rng.Range(0, 119), rng.Range(1, 40), rng.Range(1, 20));
            FillRect(b, r, Rgb(uint8_t(rng.Next()), 1, 2));
        }
        TTileMask all, dirty;
        all.Reset(200, 120);
        all.MarkAll();
        dirty.Reset(200, 120);
        DiffTiles(a, b, all, dirty);
        const auto rects = ChangedRegions(a, b, dirty, 8);
        EXPECT_LE(rects.size(), 8u);
        for (size_t i = 0; i < rects.size(); ++i) {
            EXPECT_FALSE(rects[i].IsEmpty());
            EXPECT_EQ(TightBounds(a, b, rects[i]), rects[i]) << "not shrunk to the changes";
            for (size_t j = i + 1; j < rects.size(); ++j)
                EXPECT_TRUE(rects[i].Intersect(rects[j]).IsEmpty());
        }
        for (const TRect& r : rects)
            CopyRect(a, b, r);
        EXPECT_TRUE(a == b) << "round " << round << ": a change was missed";
    }
}

} // namespace
} // namespace kiv::synth
