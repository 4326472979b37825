// The DIB reader against third-party BMP suites and their reference pictures.
#include "picture_test_util.h"

#include "platform/dib_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

namespace kiv::test {
namespace {

struct TDecoded {
    std::vector<uint8_t> Bytes;
    TDibResult Result;
    TBitmap24 Picture;
};

TDecoded Decode(const std::string& relative) {
    TDecoded d;
    d.Bytes = ReadBytes(BmpPath(relative));
    EXPECT_FALSE(d.Bytes.empty()) << relative;
    d.Result = DecodeDib(d.Bytes.data(), d.Bytes.size(), d.Picture);
    return d;
}

// Decodes `bmp` and compares it with the reference picture `png`; `tolerance` is the largest
// channel difference allowed.
void ExpectMatches(const std::string& bmp, const std::string& png, int tolerance = 0,
                   bool opaqueOnly = false) {
    SCOPED_TRACE(bmp + " vs " + png);
    TDecoded d = Decode(bmp);
    ASSERT_TRUE(d.Result.Ok()) << d.Result.Text;
    TRgbaImage ref;
    ASSERT_TRUE(ReadPngRgba(BmpPath(png), ref));
    const TDiff diff = Compare(d.Picture, ref, opaqueOnly);
    ASSERT_TRUE(diff.SameSize) << d.Picture.Width() << "x" << d.Picture.Height();
    EXPECT_LE(diff.MaxChannel, tolerance) << diff.Pixels << " pixels differ";
}

std::set<std::string> BmpFilesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(BmpPath(folder)))
        if (e.path().extension() == ".bmp") names.insert(e.path().filename().string());
    return names;
}

// Converting straight into a picture must give what decoding and then blitting gives, for any
// placement, part and mode.
void ExpectDirectBlitMatchesDecoded(const std::vector<uint8_t>& bytes, const TBitmap24& decoded) {
    TDibImage dib;
    ASSERT_TRUE(dib.Open(bytes.data(), bytes.size()).Ok());
    const TBitmap24 start = [] {
        TBitmap24 b;
        b.Create(100, 50);
        FillRandom(b, 11);
        return b;
    }();
    const int32_t w = dib.Width(), h = dib.Height();
    const TRect rects[] = {
        {0, 0, w, h}, {10, 5, 60, 40}, {-5, -5, 20, 20}, {w - 7, h - 3, w + 9, h}};
    const int32_t places[][2] = {{0, 0}, {-50, 7}, {-3, -2}, {37, 20}, {95, 45}, {100, 0}};
    for (TBlitMode mode : {TBlitMode::Copy, TBlitMode::Xor, TBlitMode::Transparent})
        for (const TRect& r : rects)
            for (const auto& p : places) {
                TBitmap24 direct = start, viaBitmap = start;
                dib.Blit(direct, p[0], p[1], r, mode);
                viaBitmap.Blit(p[0], p[1], decoded, r, mode);
                ASSERT_TRUE(SamePixels(direct, viaBitmap))
                    << "mode " << int(mode) << " at " << p[0] << "," << p[1] << " rect " << r.Left
                    << "," << r.Top << "," << r.Right << "," << r.Bottom;
            }
}

// Every "good" file has an exact reference: palettes, RLE, OS/2 and V4/V5 headers, top-down,
// 16-bit channels scaled as round(v * 255 / max), bit fields.
TEST(BmpSuite, EveryGoodFileDecodesToItsReference) {
    const std::map<std::string, std::string> refs = {
        {"pal1.bmp", "pal1"},
        {"pal1wb.bmp", "pal1"},
        {"pal1bg.bmp", "pal1bg"},
        {"pal4.bmp", "pal4"},
        {"pal4gs.bmp", "pal4gs"},
        {"pal4rle.bmp", "pal4"},
        {"pal8.bmp", "pal8"},
        {"pal8-0.bmp", "pal8"},
        {"pal8gs.bmp", "pal8gs"},
        {"pal8rle.bmp", "pal8"},
        {"pal8w126.bmp", "pal8w126"},
        {"pal8w125.bmp", "pal8w125"},
        {"pal8w124.bmp", "pal8w124"},
        {"pal8topdown.bmp", "pal8"},
        {"pal8nonsquare.bmp", "pal8nonsquare-e"}, // the stored pixels, not stretched
        {"pal8os2.bmp", "pal8"},
        {"pal8v4.bmp", "pal8"},
        {"pal8v5.bmp", "pal8"},
        {"rgb16.bmp", "rgb16"},
        {"rgb16bfdef.bmp", "rgb16"},
        {"rgb16-565.bmp", "rgb16-565"},
        {"rgb16-565pal.bmp", "rgb16-565"},
        {"rgb24.bmp", "rgb24"},
        {"rgb24pal.bmp", "rgb24"},
        {"rgb32.bmp", "rgb24"},
        {"rgb32bfdef.bmp", "rgb24"},
        {"rgb32bf.bmp", "rgb24"},
    };
    const std::set<std::string> files = BmpFilesIn("bmpsuite-2.8/g");
    EXPECT_EQ(files.size(), 27u);
    for (const std::string& f : files) {
        auto ref = refs.find(f);
        ASSERT_NE(ref, refs.end()) << "no reference listed for g/" << f;
        ExpectMatches("bmpsuite-2.8/g/" + f, "bmpsuite-2.8/html/" + ref->second + ".png");
    }
}

TEST(BmpSuite, GoodFilesBlitStraightIntoAPicture) {
    for (const std::string& f : BmpFilesIn("bmpsuite-2.8/g")) {
        SCOPED_TRACE(f);
        TDecoded d = Decode("bmpsuite-2.8/g/" + f);
        ASSERT_TRUE(d.Result.Ok());
        ExpectDirectBlitMatchesDecoded(d.Bytes, d.Picture);
    }
}

// Questionable files: each either decodes to the listed reference or is refused as listed.
// RLE pixels that the data skips come out black (the "-b" references); alpha is ignored, so
// references with transparency are compared where they are opaque.
TEST(BmpSuite, QuestionableFilesDecodeAsListedOrAreRefused) {
    struct TExpect {
        const char* Ref;   // reference name, "" = decodes, no reference, nullptr = refused
        int Tolerance = 0; // rounding of 11- and 10-bit channels in rgb32-111110's reference
    };
    const std::map<std::string, TExpect> expect = {
        {"pal1p1.bmp", {"pal1p1"}},
        {"pal2.bmp", {"pal2"}},
        {"pal2color.bmp", {"pal2color"}},
        {"pal4rletrns.bmp", {"pal4rletrns-b"}},
        {"pal4rlecut.bmp", {"pal4rlecut-b"}},
        {"pal8rletrns.bmp", {"pal8rletrns-b"}},
        {"pal8rlecut.bmp", {"pal8rlecut-b"}},
        {"pal8offs.bmp", {"pal8"}},
        {"pal8oversizepal.bmp", {"pal8"}},
        {"pal8os2-sz.bmp", {"pal8"}},
        {"pal8os2-hs.bmp", {"pal8"}},
        {"pal8os2sp.bmp", {"pal8"}},
        {"pal8os2v2.bmp", {"pal8"}},
        {"pal8os2v2-16.bmp", {"pal8"}},
        {"pal8os2v2-sz.bmp", {"pal8"}},
        {"pal8os2v2-40sz.bmp", {"pal8"}},
        {"rgb24rle24.bmp", {nullptr}},
        {"pal1huffmsb.bmp", {nullptr}},
        {"rgb16faketrns.bmp", {"rgb16"}},
        {"rgb16-231.bmp", {"rgb16-231"}},
        {"rgb16-3103.bmp", {"rgb16-3103"}},
        {"rgba16-4444.bmp", {"rgba16-4444"}},
        {"rgba16-5551.bmp", {"rgba16-5551"}},
        {"rgba16-1924.bmp", {"rgba16-1924"}},
        {"rgb24largepal.bmp", {"rgb24"}},
        {"rgb24prof.bmp", {"rgb24"}},
        {"rgb24prof2.bmp", {""}}, // colour profiles are not applied
        {"rgb24lprof.bmp", {"rgb24"}},
        {"rgb24jpeg.bmp", {nullptr}},
        {"rgb24png.bmp", {nullptr}},
        {"rgb32h52.bmp", {"rgb24"}},
        {"rgb32-xbgr.bmp", {"rgb24"}},
        {"rgb32fakealpha.bmp", {"rgb24"}},
        {"rgb32-111110.bmp", {"rgb24", 1}},
        {"rgb32-7187.bmp", {"rgb32-7187"}},
        {"rgba32-1.bmp", {"rgba32"}},
        {"rgba32-2.bmp", {"rgba32"}},
        {"rgba32-1010102.bmp", {"rgba32-1010102"}},
        {"rgba32-81284.bmp", {"rgba32-81284"}},
        {"rgba32-61754.bmp", {"rgba32-61754"}},
        {"rgba32abf.bmp", {"rgba32"}},
        {"rgba32h56.bmp", {"rgba32"}},
        {"rgba64.bmp", {nullptr}},
    };
    for (const std::string& f : BmpFilesIn("bmpsuite-2.8/q")) {
        auto e = expect.find(f);
        ASSERT_NE(e, expect.end()) << "no expectation listed for q/" << f;
        const std::string path = "bmpsuite-2.8/q/" + f;
        SCOPED_TRACE(f);
        TDecoded d = Decode(path);
        if (e->second.Ref == nullptr) {
            EXPECT_EQ(d.Result.Error, TDibError::Unsupported) << d.Result.Text;
            continue;
        }
        ASSERT_TRUE(d.Result.Ok()) << d.Result.Text;
        ExpectDirectBlitMatchesDecoded(d.Bytes, d.Picture);
        if (*e->second.Ref != 0)
            ExpectMatches(path, std::string("bmpsuite-2.8/html/") + e->second.Ref + ".png",
                          e->second.Tolerance, true);
    }
}

// Bad files are refused or decoded safely (the sanitizer builds check "safely"); a few have a
// definite answer.
TEST(BmpSuite, BadFilesAreRefusedOrDecodedWithinBounds) {
    const std::map<std::string, TDibError> refused = {
        {"badbitcount.bmp", TDibError::BadHeader}, {"badheadersize.bmp", TDibError::BadHeader},
        {"badplanes.bmp", TDibError::BadHeader},   {"badwidth.bmp", TDibError::BadHeader},
        {"reallybig.bmp", TDibError::TooLarge},    {"rletopdown.bmp", TDibError::BadHeader},
        {"shortfile.bmp", TDibError::Truncated},
    };
    const std::set<std::string> files = BmpFilesIn("bmpsuite-2.8/b");
    EXPECT_EQ(files.size(), 20u);
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        TDecoded d = Decode("bmpsuite-2.8/b/" + f);
        auto r = refused.find(f);
        if (r != refused.end()) {
            EXPECT_EQ(d.Result.Error, r->second) << d.Result.Text;
            continue;
        }
        ASSERT_TRUE(d.Result.Ok()) << d.Result.Text;
        EXPECT_EQ(d.Picture.Width(), 127);
        EXPECT_EQ(d.Picture.Height(), 64);
        ExpectDirectBlitMatchesDecoded(d.Bytes, d.Picture);
    }
    // The one bad file with a (tentative) reference: a missing channel reads as 0.
    ExpectMatches("bmpsuite-2.8/b/rgb16-880.bmp", "bmpsuite-2.8/html/rgb16-880.png");
    EXPECT_EQ(Decode("bmpsuite-2.8/x/ba-bm.bmp").Result.Error, TDibError::Unsupported);
}

TEST(OtherSuites, GoAndWuffsFilesMatchTheirPictures) {
    for (const char* name : {"bmp_1bpp", "bmp_4bpp", "bmp_8bpp", "colormap", "colormap-0",
                             "colormap-251", "video-001", "yellow_rose-small"})
        ExpectMatches(std::string("go/") + name + ".bmp", std::string("go/") + name + ".png");
    // A real alpha channel: the colours still match where the reference is not see-through.
    ExpectMatches("go/yellow_rose-small-v5.bmp", "go/yellow_rose-small-v5.png", 0, true);
    ExpectMatches("wuffs/hippopotamus.bmp", "wuffs/hippopotamus.regular.png");
    for (const char* name :
         {"pjw-thumbnail", "bricks-color", "bricks-dither", "hibiscus.primitive"})
        ExpectMatches(std::string("wuffs/") + name + ".bmp", std::string("wuffs/") + name + ".png");
    TDecoded dither = Decode("wuffs/bricks-dither.bmp");
    ASSERT_TRUE(dither.Result.Ok());
    ExpectDirectBlitMatchesDecoded(dither.Bytes, dither.Picture);
}

TEST(OtherSuites, PackedClipboardDibMatchesExactly) {
    const std::vector<uint8_t> bytes = ReadBytes(BmpPath("pillow/clipboard.dib"));
    TDibInfo info;
    ASSERT_TRUE(ReadDibInfo(bytes.data(), bytes.size(), info).Ok());
    EXPECT_FALSE(info.FileHeader);
    EXPECT_EQ(info.BitsOffset, 40u + 12u); // after the three masks
    ExpectMatches("pillow/clipboard.dib", "pillow/clipboard_target.png");
}

TEST(OtherSuites, RleRowOverflowIsDroppedNotCarriedOver) {
    TDecoded overflow = Decode("pillow/hopper_rle8_row_overflow.bmp");
    TDecoded hopper = Decode("pillow/hopper.bmp");
    ASSERT_TRUE(overflow.Result.Ok()) << overflow.Result.Text;
    ASSERT_TRUE(hopper.Result.Ok());
    TRgbaImage ref;
    ref.Width = hopper.Picture.Width();
    ref.Height = hopper.Picture.Height();
    for (int32_t y = 0; y < ref.Height; ++y)
        for (int32_t x = 0; x < ref.Width; ++x) {
            const TColorRef c = hopper.Picture.Pixel(x, y);
            ref.Pixels.insert(ref.Pixels.end(), {RedOf(c), GreenOf(c), BlueOf(c), 255});
        }
    const TDiff diff = Compare(overflow.Picture, ref);
    ASSERT_TRUE(diff.SameSize);
    EXPECT_LE(diff.Mean, 12.0);
}

TEST(OtherSuites, HostileOffsetsAreRefused) {
    EXPECT_FALSE(Decode("pillow/l2rgb_read.bmp").Result.Ok());
}

TEST(OtherSuites, ThirtyTwoBitMasksInAnyOrder) {
    TDecoded xbgr = Decode("bmpsuite-2.8/q/rgb32-xbgr.bmp");
    TDecoded abgr = Decode("pillow/rgb32bf-abgr.bmp");
    TDecoded rgba = Decode("pillow/rgb32bf-rgba.bmp");
    ASSERT_TRUE(xbgr.Result.Ok() && abgr.Result.Ok() && rgba.Result.Ok());
    EXPECT_TRUE(SamePixels(abgr.Picture, xbgr.Picture));
    // Masks R 000000ff, G 0000ff00, B 00ff0000: red reads the (zero) fourth byte, green the
    // original blue, blue the original green.
    ASSERT_EQ(rgba.Picture.Width(), xbgr.Picture.Width());
    for (int32_t y = 0; y < xbgr.Picture.Height(); ++y)
        for (int32_t x = 0; x < xbgr.Picture.Width(); ++x) {
            const TColorRef o = xbgr.Picture.Pixel(x, y);
            ASSERT_EQ(rgba.Picture.Pixel(x, y), MakeColor(0, BlueOf(o), GreenOf(o)))
                << x << "," << y;
        }
}

} // namespace
} // namespace kiv::test
