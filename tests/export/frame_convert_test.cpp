// The frame converter brings a frame up to date from the rectangle that changed:
// the result must be the frame a whole conversion of the new picture gives.
#include "export/frame_convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace kiv;
using namespace kiv::exporting;

namespace {

TBitmap24 Noise(int32_t w, int32_t h, uint32_t seed) {
    TBitmap24 b;
    b.Create(w, h);
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w * 3; ++x)
            b.Row(y)[x] = static_cast<uint8_t>(rng());
    return b;
}

struct TFrameOf {
    TFrame Frame{av_frame_alloc()};
    TFrameOf(AVPixelFormat format, const TOutputSize& size) {
        Frame->format = format;
        Frame->width = size.FrameWidth;
        Frame->height = size.FrameHeight;
        av_frame_get_buffer(Frame.get(), 0);
    }
};

bool SamePlanes(const AVFrame& a, const AVFrame& b, AVPixelFormat format) {
    const int planes = format == AV_PIX_FMT_YUV420P ? 3 : 1;
    for (int p = 0; p < planes; ++p) {
        const int rows = p ? (a.height + 1) / 2 : a.height;
        const int bytes = format == AV_PIX_FMT_YUV420P ? (p ? (a.width + 1) / 2 : a.width)
                          : format == AV_PIX_FMT_BGR0  ? a.width * 4
                                                       : a.width * 3;
        for (int y = 0; y < rows; ++y)
            if (std::memcmp(a.data[p] + y * a.linesize[p], b.data[p] + y * b.linesize[p],
                            static_cast<size_t>(bytes)) != 0)
                return false;
    }
    return true;
}

} // namespace

TEST(FrameConvert, ARectangleBroughtUpToDateEqualsAWholeConversion) {
    struct TCase {
        AVPixelFormat Format;
        int32_t Width, Height; // odd sides are padded for 4:2:0
        TRect Changed;
    };
    const TCase cases[] = {
        {AV_PIX_FMT_YUV420P, 64, 48, {5, 7, 20, 19}},   // odd corners
        {AV_PIX_FMT_YUV420P, 63, 47, {40, 30, 63, 47}}, // the padded edges
        {AV_PIX_FMT_YUV420P, 63, 47, {0, 46, 1, 47}},   // one pixel in the last row
        {AV_PIX_FMT_BGR0, 33, 21, {3, 4, 33, 9}},       {AV_PIX_FMT_RGB24, 33, 21, {0, 0, 1, 21}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.Width << "x" << c.Height << " format " << c.Format);
        const bool even = c.Format == AV_PIX_FMT_YUV420P;
        const TOutputSize size{c.Width, c.Height, c.Width + (even ? c.Width & 1 : 0),
                               c.Height + (even ? c.Height & 1 : 0)};
        const TBitmap24 before = Noise(c.Width, c.Height, 1);
        TBitmap24 after = before;
        const TBitmap24 paint = Noise(c.Width, c.Height, 2);
        after.Blit(c.Changed.Left, c.Changed.Top, paint, c.Changed, TBlitMode::Copy);

        TFrameConverter updated(c.Width, c.Height, size, c.Format, nullptr);
        TFrameOf a(c.Format, size);
        updated.Convert(before, {}, *a.Frame); // the first is whole, whatever it is told
        updated.Convert(after, c.Changed, *a.Frame);
        TFrameConverter whole(c.Width, c.Height, size, c.Format, nullptr);
        TFrameOf b(c.Format, size);
        whole.Convert(after, after.Bounds(), *b.Frame);
        EXPECT_TRUE(SamePlanes(*a.Frame, *b.Frame, c.Format));
    }
}

TEST(FrameConvert, StudioRangeColoursOfTheStandard) {
    struct TCase {
        uint8_t B, G, R, Y, U, V;
    };
    // BT.601 at 8 bits: black, white, red, green, blue.
    const TCase cases[] = {{0, 0, 0, 16, 128, 128},
                           {255, 255, 255, 235, 128, 128},
                           {0, 0, 255, 82, 90, 240},
                           {0, 255, 0, 145, 54, 34},
                           {255, 0, 0, 41, 240, 110}};
    for (const TCase& c : cases) {
        TBitmap24 p;
        p.Create(2, 2);
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 2; ++x) {
                p.Row(y)[x * 3] = c.B;
                p.Row(y)[x * 3 + 1] = c.G;
                p.Row(y)[x * 3 + 2] = c.R;
            }
        TFrameOf f(AV_PIX_FMT_YUV420P, {2, 2, 2, 2});
        ConvertToYuv420(p, p.Bounds(), *f.Frame);
        EXPECT_NEAR(f.Frame->data[0][0], c.Y, 1) << int(c.R) << "," << int(c.G) << "," << int(c.B);
        EXPECT_NEAR(f.Frame->data[1][0], c.U, 1);
        EXPECT_NEAR(f.Frame->data[2][0], c.V, 1);
    }
}
