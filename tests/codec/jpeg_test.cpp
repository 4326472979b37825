// Kind-1 payloads: JPEG into a top-down 24-bit bitmap file image.
#include "codec/kivdecoder.h"
#include "codec_test_util.h"
#include "support/png_reader.h"

#include "platform/byte_order.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace kiv::test {
namespace {

constexpr uint32_t kFullCapacity = 5242880;
constexpr uint32_t kPixelOffset = 54;

uint32_t RowSize(uint32_t width) {
    return (width * 24 + 31) / 32 * 4;
}

std::vector<uint8_t> LoadJpeg(const std::string& name) {
    auto bytes = ReadFileBytes(TestDataPath("jpeg/" + name));
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

struct TDecoded {
    int32_t Result = 0;
    std::vector<uint8_t> Image;

    uint32_t Width() const { return LoadLE32(Image.data() + 18); }
    uint32_t Height() const {
        return static_cast<uint32_t>(-static_cast<int32_t>(LoadLE32(Image.data() + 22)));
    }
    // Bitmap row `y` counted from the top of the stored image.
    const uint8_t* Row(uint32_t y) const {
        return Image.data() + kPixelOffset + y * RowSize(Width());
    }
};

TDecoded Decode(const std::vector<uint8_t>& payload, uint32_t capacity = kFullCapacity) {
    TDecoded d;
    d.Image.assign(capacity, 0xAA);
    d.Result = UnZipBuffer(payload.data(), static_cast<uint32_t>(payload.size()), 1, d.Image.data(),
                           capacity);
    d.Image.resize(static_cast<size_t>(d.Result));
    return d;
}

std::string DecodeError(const std::vector<uint8_t>& payload, uint32_t capacity = kFullCapacity) {
    return ErrorText([&] { Decode(payload, capacity); });
}

// Largest channel difference to a reference picture, whose row y is the stream's scanline y
// and so lands in bitmap row height - 1 - y.
int MaxDifference(const TDecoded& d, const TRgbImage& ref) {
    int worst = 0;
    for (uint32_t y = 0; y < ref.Height; ++y) {
        const uint8_t* bgr = d.Row(ref.Height - 1 - y);
        const uint8_t* rgb = ref.Row(y);
        for (uint32_t x = 0; x < ref.Width; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(bgr[x * 3 + 2 - c] - rgb[x * 3 + c]));
    }
    return worst;
}

bool SamePixels(const TDecoded& a, const TDecoded& b) {
    return a.Result == b.Result && a.Image == b.Image;
}

class JpegTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InitDecoder()); }
    void TearDown() override { UninitDecoder(); }
};

TEST_F(JpegTest, BitmapHeaderLayout) {
    const auto jpeg = MakeJpeg(16, 8, [](uint32_t x, uint32_t y) {
        return TRgb{uint8_t(x * 16), uint8_t(y * 32), 90};
    });
    const TDecoded d = Decode(jpeg);
    const uint8_t* p = d.Image.data();
    ASSERT_EQ(d.Result, 54 + 384);
    EXPECT_EQ(p[0], 'B');
    EXPECT_EQ(p[1], 'M');
    EXPECT_EQ(LoadLE32(p + 2), 438u);
    EXPECT_EQ(LoadLE32(p + 6), 0u);
    EXPECT_EQ(LoadLE32(p + 10), 54u);
    EXPECT_EQ(LoadLE32(p + 14), 40u);
    EXPECT_EQ(LoadLE32(p + 18), 16u);
    EXPECT_EQ(static_cast<int32_t>(LoadLE32(p + 22)), -8);
    EXPECT_EQ(LoadLE16(p + 26), 1u);
    EXPECT_EQ(LoadLE16(p + 28), 24u);
    EXPECT_EQ(LoadLE32(p + 30), 0u);
    EXPECT_EQ(LoadLE32(p + 34), 384u);
    for (int i = 38; i < 54; ++i)
        EXPECT_EQ(p[i], 0) << i;
}

TEST_F(JpegTest, NarrowRowsArePaddedButPaddingIsNotWritten) {
    const auto jpeg = MakeJpeg(3, 2, [](uint32_t, uint32_t) { return TRgb{200, 100, 50}; });
    const TDecoded d = Decode(jpeg);
    ASSERT_EQ(d.Result, 54 + 2 * 12);
    for (uint32_t y = 0; y < 2; ++y) {
        for (int i = 9; i < 12; ++i)
            EXPECT_EQ(d.Row(y)[i], 0xAA) << y << ":" << i;
        EXPECT_NEAR(d.Row(y)[0], 50, 4);
        EXPECT_NEAR(d.Row(y)[2], 200, 4);
    }
}

TEST_F(JpegTest, FirstScanlineLandsInLastRowAsBlueGreenRed) {
    const auto jpeg = MakeJpeg(16, 8, [](uint32_t, uint32_t y) {
        return y == 0 ? TRgb{0, 0, 255} : TRgb{255, 255, 255};
    });
    const TDecoded d = Decode(jpeg);
    ASSERT_EQ(d.Result, 438);
    for (uint32_t x = 0; x < 16; ++x) {
        const uint8_t* last = d.Row(7) + x * 3;
        const uint8_t* first = d.Row(0) + x * 3;
        EXPECT_GE(last[0], 245) << x;
        EXPECT_LE(last[1], 10) << x;
        EXPECT_LE(last[2], 10) << x;
        for (int c = 0; c < 3; ++c)
            EXPECT_GE(first[c], 245) << x;
    }
}

TEST_F(JpegTest, CapacityMustHoldTheWholeImage) {
    const auto jpeg = MakeJpeg(16, 8, [](uint32_t, uint32_t) { return TRgb{1, 2, 3}; });
    EXPECT_EQ(Decode(jpeg, 438).Result, 438);

    std::vector<uint8_t> dest(437, 0xAA);
    EXPECT_EQ(ErrorText([&] { UnZipBuffer(jpeg.data(), jpeg.size(), 1, dest.data(), 437); }),
              "输出缓冲区太小");
    EXPECT_EQ(dest, std::vector<uint8_t>(437, 0xAA));
}

TEST_F(JpegTest, AbsurdDimensionsFailBeforeWriting) {
    auto jpeg = MakeJpeg(16, 8, [](uint32_t, uint32_t) { return TRgb{1, 2, 3}; });
    // SOF0: FF C0, length, precision, height, width.
    size_t sof = 0;
    while (sof + 1 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0))
        ++sof;
    ASSERT_LT(sof + 9, jpeg.size());
    for (const auto& [w, h] :
         {std::pair{65500, 65500}, std::pair{65500, 1}, std::pair{21846, 65500}}) {
        jpeg[sof + 5] = uint8_t(h >> 8);
        jpeg[sof + 6] = uint8_t(h);
        jpeg[sof + 7] = uint8_t(w >> 8);
        jpeg[sof + 8] = uint8_t(w);
        std::vector<uint8_t> dest(4096, 0xAA);
        EXPECT_EQ(ErrorText([&] { UnZipBuffer(jpeg.data(), jpeg.size(), 1, dest.data(), 4096); }),
                  "输出缓冲区太小")
            << w << "x" << h;
        EXPECT_EQ(dest, std::vector<uint8_t>(4096, 0xAA));
    }
}

TEST_F(JpegTest, UnreadableHeaderIsCorrupt) {
    EXPECT_EQ(DecodeError({'B', 'M', 0x36, 0, 0, 0}), "JPEG 文件被损坏");
    const auto jpeg = LoadJpeg("peacock.default.jpeg");
    // Cut before the first scan header: no image to speak of.
    EXPECT_EQ(DecodeError(std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20)),
              "JPEG 文件被损坏");
}

TEST_F(JpegTest, ColourCorpusDecodes) {
    struct TCase {
        const char* Name;
        uint32_t Width, Height;
    };
    for (const TCase& c :
         {TCase{"testorig.jpg", 227, 149}, TCase{"testimgint.jpg", 227, 149},
          TCase{"peacock.default.jpeg", 100, 75}, TCase{"peacock.s2x1-422.jpeg", 100, 75},
          TCase{"peacock.s1x1-444.jpeg", 100, 75}, TCase{"peacock.s1x3.jpeg", 100, 75},
          TCase{"peacock.s-weird.jpeg", 100, 75}, TCase{"peacock.s-very-weird.jpeg", 100, 75},
          TCase{"truncated_jpeg.jpg", 100, 100}}) {
        SCOPED_TRACE(c.Name);
        const TDecoded d = Decode(LoadJpeg(c.Name));
        EXPECT_EQ(d.Width(), c.Width);
        EXPECT_EQ(d.Height(), c.Height);
        EXPECT_EQ(d.Result, static_cast<int32_t>(54 + RowSize(c.Width) * c.Height));
    }
}

TEST_F(JpegTest, TruncatedStreamsMatchTheirReferences) {
    for (const char* name : {"peacock.default.truncated", "peacock.progressive.truncated"}) {
        SCOPED_TRACE(name);
        TRgbImage ref;
        std::string error;
        ASSERT_TRUE(ReadPngRgb(TestDataPath(std::string("jpeg/") + name + ".decoded-by-djpeg.png"),
                               ref, &error))
            << error;
        const TDecoded d = Decode(LoadJpeg(std::string(name) + ".jpeg"));
        ASSERT_EQ(d.Width(), ref.Width);
        ASSERT_EQ(d.Height(), ref.Height);
        // The references used the accurate inverse DCT (the progressive one also a newer
        // library); ours is the fast one. Measured: at most 3 and 5 levels.
        EXPECT_LE(MaxDifference(d, ref), 8);
    }
}

TEST_F(JpegTest, SameCoefficientsGiveSamePixels) {
    // Arithmetic against Huffman coding, progressive against sequential.
    EXPECT_TRUE(SamePixels(Decode(LoadJpeg("testimgari.jpg")), Decode(LoadJpeg("testimgint.jpg"))));
    EXPECT_TRUE(SamePixels(Decode(LoadJpeg("peacock.progressive.jpeg")),
                           Decode(LoadJpeg("peacock.default.jpeg"))));
}

TEST_F(JpegTest, OtherThanThreeComponentsIsRefused) {
    std::vector<uint8_t> dest(kFullCapacity, 0xAA);
    const auto gray = LoadJpeg("peacock.grayscale.jpeg");
    EXPECT_EQ(
        ErrorText([&] { UnZipBuffer(gray.data(), gray.size(), 1, dest.data(), kFullCapacity); }),
        "JPEG 解压缩失败");
    // Nothing is written past the grey picture's rows.
    EXPECT_EQ(dest[54 + RowSize(100) * 75], 0xAA);
}

TEST_F(JpegTest, TwelveBitPrecisionIsRefused) {
    EXPECT_EQ(DecodeError(LoadJpeg("monkey12.jpg")), "JPEG 文件被损坏");
}

// The scratch stream keeps the bytes of a longer, earlier payload; a truncated payload must
// still end where it ends.
TEST_F(JpegTest, StaleScratchBytesAreNeverRead) {
    const auto cut = LoadJpeg("peacock.default.truncated.jpeg");
    const auto whole = LoadJpeg("peacock.default.jpeg");
    ASSERT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin()));
    const TDecoded first = Decode(cut);
    const TDecoded full = Decode(whole);
    const TDecoded again = Decode(cut);
    EXPECT_TRUE(SamePixels(first, again));
    EXPECT_FALSE(SamePixels(again, full));
}

TEST_F(JpegTest, DecodesFromSeveralThreadsAtOnce) {
    const std::vector<std::vector<uint8_t>> payloads = {
        LoadJpeg("testorig.jpg"), LoadJpeg("peacock.default.truncated.jpeg"),
        LoadJpeg("peacock.progressive.jpeg"), MakeJpeg(64, 48, [](uint32_t x, uint32_t y) {
            return TRgb{uint8_t(x * 4), uint8_t(y * 5), uint8_t(x ^ y)};
        })};
    std::vector<TDecoded> expected;
    for (const auto& p : payloads)
        expected.push_back(Decode(p));

    constexpr int kThreads = 4;
    constexpr int kRounds = 25;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::vector<uint8_t> dest(kFullCapacity);
            for (int round = 0; round < kRounds; ++round) {
                const size_t i = static_cast<size_t>(t + round) % payloads.size();
                std::fill(dest.begin(), dest.end(), 0xAA); // row padding is never written
                try {
                    const int32_t n = UnZipBuffer(payloads[i].data(), payloads[i].size(), 1,
                                                  dest.data(), kFullCapacity);
                    if (n != expected[i].Result ||
                        !std::equal(expected[i].Image.begin(), expected[i].Image.end(),
                                    dest.begin()))
                        ++mismatches;
                } catch (const EKivError&) {
                    ++mismatches;
                }
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(DecoderStateTest, SharedStateLivesUntilTheLastUser) {
    const auto jpeg = MakeJpeg(8, 8, [](uint32_t, uint32_t) { return TRgb{9, 9, 9}; });
    std::vector<uint8_t> dest(4096);
    const auto decode = [&] { return UnZipBuffer(jpeg.data(), jpeg.size(), 1, dest.data(), 4096); };
    ASSERT_TRUE(InitDecoder());
    ASSERT_TRUE(InitDecoder());
    EXPECT_TRUE(UninitDecoder());
    EXPECT_EQ(decode(), 54 + 24 * 8);
    EXPECT_TRUE(UninitDecoder());
    EXPECT_NE(ErrorText(decode).find("Assertion failure"), std::string::npos);
}

} // namespace
} // namespace kiv::test
