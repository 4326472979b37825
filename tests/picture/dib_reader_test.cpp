// The DIB reader on hand-built images: headers, limits, truncation, RLE details.
#include "picture_test_util.h"

#include "platform/dib_reader.h"

#include <gtest/gtest.h>

#include <climits>

namespace kiv::test {
namespace {

// Palette entries as stored (0x00RRGGBB) and the colours they give.
const std::vector<uint32_t> kPalette = {0x0A0A0A, 0xC80000, 0x00C800, 0x0000C8, 0x123456, 0xFFFFFF};
const TColorRef kC[] = {MakeColor(10, 10, 10),       MakeColor(200, 0, 0),
                        MakeColor(0, 200, 0),        MakeColor(0, 0, 200),
                        MakeColor(0x12, 0x34, 0x56), MakeColor(255, 255, 255)};
constexpr TColorRef kBlack = 0;

std::vector<TColorRef> Row(const TBitmap24& b, int32_t y) {
    std::vector<TColorRef> out;
    for (int32_t x = 0; x < b.Width(); ++x)
        out.push_back(b.Pixel(x, y));
    return out;
}

TBmpBuilder Rle8(int32_t w, int32_t h, std::vector<uint8_t> stream) {
    TBmpBuilder b;
    b.Width = w;
    b.Height = h;
    b.BitCount = 8;
    b.Compression = biRLE8;
    b.Palette = kPalette;
    b.Bits = std::move(stream);
    return b;
}

TBitmap24 MustDecode(const std::vector<uint8_t>& bytes) {
    TBitmap24 out;
    TDibResult r = DecodeDib(bytes.data(), bytes.size(), out);
    EXPECT_TRUE(r.Ok()) << r.Text;
    return out;
}

TEST(DibInfo, ReadsTheFieldsTheBackBufferNeeds) {
    TBmpBuilder b;
    b.Width = 3;
    b.Height = -2;
    b.Bits.assign(2 * 12, 0);
    const auto bytes = b.Build();
    TDibInfo info;
    ASSERT_TRUE(ReadDibInfo(bytes.data(), bytes.size(), info).Ok());
    EXPECT_TRUE(info.FileHeader);
    EXPECT_EQ(info.HeaderSize, 40u);
    EXPECT_EQ(info.Width, 3);
    EXPECT_EQ(info.Height, -2);
    EXPECT_EQ(info.AbsHeight(), 2);
    EXPECT_TRUE(info.TopDown());
    EXPECT_EQ(info.BitCount, 24);
    EXPECT_EQ(info.BitsOffset, 54u);
    EXPECT_EQ(info.InfoOffset(), 14u);

    // A packed DIB: the bits follow the colour table.
    b.BitCount = 8;
    b.Palette = kPalette;
    const auto packed = b.Build(false);
    ASSERT_TRUE(ReadDibInfo(packed.data(), packed.size(), info).Ok());
    EXPECT_FALSE(info.FileHeader);
    EXPECT_EQ(info.BitsOffset, 40u + 4 * kPalette.size());

    EXPECT_EQ(ReadDibInfo(bytes.data(), 20, info).Error, TDibError::Truncated);
    EXPECT_EQ(ReadDibInfo(bytes.data(), 3, info).Error, TDibError::Truncated);
    const uint8_t junk[] = {'X', 'Y', 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ReadDibInfo(junk, sizeof junk, info).Error, TDibError::BadHeader);
}

TEST(DibReader, IndicesPastTheColourTableAreBlack) {
    TBmpBuilder b;
    b.Width = 3;
    b.BitCount = 8;
    b.Palette = {0x0A0A0A, 0xC80000};
    b.Bits = {1, 2, 255, 0};
    EXPECT_EQ(Row(MustDecode(b.Build()), 0), (std::vector<TColorRef>{kC[1], kBlack, kBlack}));
}

TEST(DibReader, RefusesSizesBeyondTheLimitsBeforeAllocating) {
    auto openRle = [](int32_t w, int32_t h) {
        const auto bytes = Rle8(w, h, {0, 1}).Build();
        TDibImage dib;
        return dib.Open(bytes.data(), bytes.size()).Error;
    };
    EXPECT_EQ(openRle(kMaxBitmapSide + 1, 1), TDibError::TooLarge);
    EXPECT_EQ(openRle(1, kMaxBitmapSide + 1), TDibError::TooLarge);
    EXPECT_EQ(openRle(kMaxBitmapSide, kMaxBitmapPixels / kMaxBitmapSide + 1), TDibError::TooLarge);
    EXPECT_EQ(openRle(kMaxBitmapSide, kMaxBitmapPixels / kMaxBitmapSide), TDibError::None);
    EXPECT_EQ(openRle(INT32_MAX, INT32_MAX), TDibError::TooLarge);

    TBmpBuilder b;
    b.Height = INT32_MIN;
    auto bytes = b.Build();
    TBitmap24 out;
    EXPECT_EQ(DecodeDib(bytes.data(), bytes.size(), out).Error, TDibError::TooLarge);
    // Offsets and colour counts near 2^32 must not wrap around.
    b.Height = 1;
    b.Bits = {1, 2, 3, 0};
    bytes = b.Build();
    StoreLE32(&bytes[10], 0xFFFFFFF0u);
    EXPECT_EQ(DecodeDib(bytes.data(), bytes.size(), out).Error, TDibError::Truncated);
    b.BitCount = 8;
    b.Palette = kPalette;
    auto packed = b.Build(false);
    StoreLE32(&packed[32], 0xFFFFFFFFu);
    EXPECT_EQ(DecodeDib(packed.data(), packed.size(), out).Error, TDibError::Truncated);
}

TEST(DibReader, RefusesMalformedHeaders) {
    auto error = [](const TBmpBuilder& b) {
        const auto bytes = b.Build();
        TBitmap24 out;
        return DecodeDib(bytes.data(), bytes.size(), out).Error;
    };
    TBmpBuilder b;
    b.Bits = {0, 0, 0, 0};
    b.BitCount = 3;
    EXPECT_EQ(error(b), TDibError::BadHeader);
    b.BitCount = 24;
    b.Compression = 9;
    EXPECT_EQ(error(b), TDibError::BadHeader);
    b.Compression = biBitFields; // bit fields with 24 bits
    b.Masks = {0xFF0000, 0xFF00, 0xFF};
    EXPECT_EQ(error(b), TDibError::BadHeader);
    b.BitCount = 16;
    b.Masks = {0xF00F, 0x0F00, 0x00F0}; // red is not one run of bits
    EXPECT_EQ(error(b), TDibError::BadHeader);
    b.Masks = {0xF800, 0x07E0, 0x001F};
    EXPECT_EQ(error(b), TDibError::None);
    b.Width = 0;
    EXPECT_EQ(error(b), TDibError::BadHeader);
    b.Width = 1;
    b.Height = 0;
    EXPECT_EQ(error(b), TDibError::BadHeader);
}

// Every prefix of a file: refused while bits are missing, never read past the end.
TEST(DibReader, EveryTruncationIsRefusedOrDecodedWithinBounds) {
    for (const char* name :
         {"g/pal1.bmp", "g/pal4.bmp", "g/pal8os2.bmp", "g/rgb16-565.bmp", "g/rgb24.bmp",
          "g/rgb32bf.bmp", "g/pal8v5.bmp", "g/pal4rle.bmp", "g/pal8rle.bmp"}) {
        SCOPED_TRACE(name);
        const auto bytes = ReadBytes(BmpPath(std::string("bmpsuite-2.8/") + name));
        ASSERT_FALSE(bytes.empty());
        TDibImage full;
        ASSERT_TRUE(full.Open(bytes.data(), bytes.size()).Ok());
        const bool rle = full.Info().Compression == biRLE8 || full.Info().Compression == biRLE4;
        TBitmap24 dst;
        ASSERT_TRUE(dst.Create(40, 30));
        size_t decodedBelowFull = 0;
        for (size_t n = 0; n < bytes.size(); ++n) {
            // A copy of exactly n bytes, so that the sanitizers see any read past it.
            const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + n);
            TDibImage dib;
            if (!dib.Open(part.data(), part.size()).Ok()) continue;
            ++decodedBelowFull;
            dib.Blit(dst, -20, -10, TBlitMode::Xor);
        }
        if (!rle) {
            EXPECT_LE(decodedBelowFull, 3u); // only the last row's padding may be missing
        }
    }
}

TEST(DibRle, RunsLiteralsDeltasAndRowEnds) {
    // Stored bottom row first.
    const auto bytes = Rle8(4, 3,
                            {
                                3, 1, 0, 0,             // bottom: 1 1 1, rest skipped
                                0, 3, 2, 3, 1, 0,       // literal 2 3 1, padded to even
                                5, 2, 0, 0,             // run of 5 with one pixel room left
                                0, 2, 1, 0, 1, 3, 0, 1, // delta right 1, one pixel, end
                                9, 4,                   // after the end: ignored
                            })
                           .Build();
    const TBitmap24 pic = MustDecode(bytes);
    EXPECT_EQ(Row(pic, 2), (std::vector<TColorRef>{kC[1], kC[1], kC[1], kBlack}));
    EXPECT_EQ(Row(pic, 1), (std::vector<TColorRef>{kC[2], kC[3], kC[1], kC[2]}));
    EXPECT_EQ(Row(pic, 0), (std::vector<TColorRef>{kBlack, kC[3], kBlack, kBlack}));

    // Skipped pixels count as black: drawn by a copy, no change under exclusive-or.
    TDibImage dib;
    ASSERT_TRUE(dib.Open(bytes.data(), bytes.size()).Ok());
    TBitmap24 dst;
    ASSERT_TRUE(dst.Create(4, 3));
    dst.Fill(kC[5]);
    dib.Blit(dst, 0, 0, TBlitMode::Xor);
    EXPECT_EQ(dst.Pixel(0, 0), kC[5]);
    EXPECT_EQ(dst.Pixel(1, 0), kC[5] ^ kC[3]);
    dst.Fill(kC[5]);
    dib.Blit(dst, 0, 0, TBlitMode::Transparent, kC[1]);
    EXPECT_EQ(Row(dst, 2), (std::vector<TColorRef>{kC[5], kC[5], kC[5], kBlack}));
}

TEST(DibRle, DeltasAcrossRowsAndPastThePictureStayInside) {
    // Delta up two rows from the bottom keeps the column; a delta past the top ends decoding.
    const TBitmap24 pic =
        MustDecode(Rle8(3, 4, {1, 1, 0, 2, 1, 2, 1, 2, 0, 2, 0, 200, 2, 3}).Build());
    EXPECT_EQ(Row(pic, 3), (std::vector<TColorRef>{kC[1], kBlack, kBlack}));
    EXPECT_EQ(Row(pic, 2), (std::vector<TColorRef>{kBlack, kBlack, kBlack}));
    EXPECT_EQ(Row(pic, 1), (std::vector<TColorRef>{kBlack, kBlack, kC[2]}));
    EXPECT_EQ(Row(pic, 0), (std::vector<TColorRef>{kBlack, kBlack, kBlack}));

    // Row ends past the top, runs far past the right edge, data that stops mid-literal.
    const TBitmap24 cut =
        MustDecode(Rle8(2, 2, {255, 1, 255, 1, 0, 0, 0, 0, 0, 0, 1, 2, 0, 5, 3, 3}).Build());
    EXPECT_EQ(Row(cut, 1), (std::vector<TColorRef>{kC[1], kC[1]}));
    EXPECT_EQ(Row(cut, 0), (std::vector<TColorRef>{kBlack, kBlack}));
    const TBitmap24 stop = MustDecode(Rle8(4, 1, {0, 5, 3, 3}).Build());
    EXPECT_EQ(Row(stop, 0), (std::vector<TColorRef>{kC[3], kC[3], kBlack, kBlack}));
}

TEST(DibRle, FourBitRunsAlternateNibbles) {
    TBmpBuilder b = Rle8(5, 2, {0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 4, 0x25, 0, 1});
    b.BitCount = 4;
    b.Compression = biRLE4;
    const TBitmap24 pic = MustDecode(b.Build());
    EXPECT_EQ(Row(pic, 1), (std::vector<TColorRef>{kC[1], kC[2], kC[3], kC[4], kC[5]}));
    EXPECT_EQ(Row(pic, 0), (std::vector<TColorRef>{kC[2], kC[5], kC[2], kC[5], kBlack}));
}

} // namespace
} // namespace kiv::test

namespace kiv::test {
namespace {

// Large 16-bit pictures convert through a table of every pixel value (or, for the
// common layouts, eight pixels a step), small ones and narrow columns channel by
// channel: all must give the same colours, for every value, mask and blit mode.
TEST(DibReader, LargeSixteenBitPicturesConvertAsSmallOnes) {
    struct TCase {
        uint32_t Compression;
        std::vector<uint32_t> Masks; // red, green, blue
    } cases[] = {{biRGB, {}},
                 {biBitFields, {0xF800, 0x07E0, 0x001F}},
                 {biBitFields, {0x0F00, 0x00F0, 0x000F}},
                 {biBitFields, {0x7C00, 0x0000, 0x001F}},  // no green
                 {biBitFields, {0xFFC0, 0x0000, 0x003F}}}; // red wider than 8 bits
    for (const TCase& c : cases) {
        TBmpBuilder b;
        b.Width = 257; // odd: the last pixel of a row is stored apart
        b.Height = 256;
        b.BitCount = 16;
        b.Compression = c.Compression;
        b.Masks = c.Masks;
        const size_t stride = 516;
        b.Bits.assign(stride * 256, 0);
        for (uint32_t y = 0; y < 256; ++y)
            for (uint32_t x = 0; x < 257; ++x)
                StoreLE16(&b.Bits[y * stride + x * 2], static_cast<uint16_t>(y << 8 | (x & 255)));
        const std::vector<uint8_t> bytes = b.Build();
        TDibImage image;
        ASSERT_TRUE(image.Open(bytes.data(), bytes.size()).Ok());

        for (TBlitMode mode : {TBlitMode::Copy, TBlitMode::Xor}) {
            TBitmap24 whole, strips, columns;
            ASSERT_TRUE(whole.Create(260, 258) && strips.Create(260, 258) &&
                        columns.Create(260, 258));
            FillRandom(whole, 7);
            FillRandom(strips, 7);
            FillRandom(columns, 7);
            image.Blit(whole, 1, 1, mode);
            for (int32_t top = 0; top < 256; top += 16)
                image.Blit(strips, 1, 1 + top, TRect{0, top, 257, top + 16}, mode);
            for (int32_t left = 0; left < 257; left += 5)
                image.Blit(columns, 1 + left, 1, TRect{left, 0, std::min(left + 5, 257), 256},
                           mode);
            EXPECT_TRUE(SamePixels(whole, strips)) << "masks " << c.Masks.size();
            EXPECT_TRUE(SamePixels(whole, columns)) << "masks " << c.Masks.size();
        }
    }
}

} // namespace
} // namespace kiv::test
