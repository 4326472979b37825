#include "platform/dib_reader.h"
#include "platform/error.h"
#include "playback/back_buffer.h"
#include "playback/virtual_mouse.h"
#include "support/bmp_images.h"
#include "support/play_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using namespace kiv;
using namespace kiv::test;

namespace {

constexpr TColorRef kGrey = MakeColor(128, 128, 128);
constexpr TColorRef kGreen = MakeColor(0, 200, 0);
constexpr TColorRef kBlack = MakeColor(0, 0, 0);
constexpr TColorRef kWhite = MakeColor(255, 255, 255);

TSampleHeader Sample(int16_t kind, uint16_t left = 0, uint16_t top = 0, uint32_t length = 0) {
    TSampleHeader h{};
    h.Kind = kind;
    h.Left = left;
    h.Top = top;
    h.Length = length;
    return h;
}

void Compose(TBackBuffer& b, TSampleHeader h, const std::vector<uint8_t>& image) {
    if (h.Kind != skPointer) h.Length = static_cast<uint32_t>(image.size());
    b.Compose(h, image.empty() ? nullptr : image.data(), static_cast<uint32_t>(image.size()));
}

void MovePointer(TBackBuffer& b, uint16_t x, uint16_t y) {
    Compose(b, Sample(skPointer, x, y), {});
}

void NewShape(TBackBuffer& b, uint16_t x, uint16_t y, const std::vector<uint8_t>& shape) {
    Compose(b, Sample(skPointer, x, y, static_cast<uint32_t>(shape.size())), shape);
}

TBitmap24 Solid(int32_t w, int32_t h, TColorRef c) {
    TBitmap24 b;
    b.Create(w, h);
    b.Fill(c);
    return b;
}

std::string AssertionText(const std::function<void()>& f) {
    try {
        f();
    } catch (const EKivError& e) {
        return e.what();
    }
    return "(no failure)";
}

} // namespace

TEST(BackBuffer, DropsEverySampleBeforeTheFirstKeyFrame) {
    TLogCapture log;
    TBackBuffer b;
    Compose(b, Sample(skDifference, 1, 1), SolidBmp(2, 2, kGreen));
    Compose(b, Sample(skReplacement), SolidBmp(2, 2, kGreen));
    MovePointer(b, 5, 5);
    NewShape(b, 5, 5, SolidBmp(3, 3, kGreen));
    EXPECT_FALSE(b.Initialized());
    EXPECT_EQ(b.Mouse(), nullptr);
    EXPECT_EQ(b.TakeChangedRect(), TRect{});
    EXPECT_EQ(log.Count("KivPlayer.ocx -> The first frame must be a key frame!"), 4);

    Compose(b, Sample(skKeyFrame), SolidBmp(20, 10, kGrey));
    ASSERT_TRUE(b.Initialized());
    EXPECT_TRUE(SamePicture(b.Picture(), Solid(20, 10, kGrey)));
    EXPECT_FALSE(b.Mouse()->Visible()) << "pointer moves before the key frame are not kept";
    EXPECT_EQ(b.TakeChangedRect(), (TRect{0, 0, 20, 10}));
    EXPECT_EQ(b.TakeChangedRect(), TRect{}) << "taking the rectangle empties it";
}

TEST(BackBuffer, FirstKeyFrameNeedsMoreThanEightBitsAndRegionsNotFour) {
    const std::vector<TColorRef> palette(16, kGreen);
    auto indexed = [&](int bits) {
        return MakeBmp(
            8, 4, bits, [](int32_t, int32_t) { return 1u; }, palette);
    };
    TBackBuffer b;
    for (int bits : {8, 4}) {
        SCOPED_TRACE(bits);
        std::string text = AssertionText([&] { Compose(b, Sample(skKeyFrame), indexed(bits)); });
        EXPECT_NE(text.find("Assertion failure"), std::string::npos) << text;
        EXPECT_NE(text.find("KivPlayer/UnitBackBuffer"), std::string::npos) << text;
        EXPECT_FALSE(b.Initialized());
    }
    // 32 bits is enough; the picture itself is always 24-bit.
    Compose(b, Sample(skKeyFrame), MakeBmp(8, 4, 32, [](int32_t, int32_t) { return kGrey; }));
    ASSERT_TRUE(b.Initialized());
    b.TakeChangedRect();

    // After that a palette region of 8 bits is converted; one of 4 bits is refused untouched.
    Compose(b, Sample(skReplacement, 1, 1),
            MakeBmp(
                2, 2, 8, [](int32_t, int32_t) { return 1u; }, palette));
    EXPECT_EQ(b.Picture().Pixel(2, 2), kGreen);
    b.TakeChangedRect();
    std::string text = AssertionText([&] { Compose(b, Sample(skReplacement, 4, 0), indexed(4)); });
    EXPECT_NE(text.find("Assertion failure"), std::string::npos) << text;
    EXPECT_EQ(b.Picture().Pixel(5, 1), kGrey);
    EXPECT_EQ(b.TakeChangedRect(), TRect{}) << "a failed region is not marked";
}

TEST(BackBuffer, ExclusiveOrTwiceRestoresThePicture) {
    TBackBuffer b;
    Compose(b, Sample(skKeyFrame), PatternBmp(24, 16));
    const TBitmap24 before = b.Picture();
    b.TakeChangedRect();

    auto delta =
        MakeBmp(5, 4, 24, [](int32_t x, int32_t y) { return MakeColor(0xF0, x * 40, y * 60); });
    Compose(b, Sample(skDifference, 3, 2), delta);
    EXPECT_EQ(b.TakeChangedRect(), (TRect{3, 2, 8, 6}));
    EXPECT_EQ(b.Picture().Pixel(4, 3), PatternColor(4, 3) ^ MakeColor(0xF0, 40, 60));
    EXPECT_EQ(b.Picture().Pixel(8, 3), PatternColor(8, 3)) << "outside the region";

    Compose(b, Sample(skDifference, 3, 2), delta);
    EXPECT_TRUE(SamePicture(b.Picture(), before));
}

TEST(BackBuffer, RegionsAreClippedAtEveryEdge) {
    TBackBuffer b;
    Compose(b, Sample(skKeyFrame), SolidBmp(20, 10, kGrey));
    b.TakeChangedRect();

    struct TCase {
        uint16_t Left, Top;
        int32_t W, H;
        TRect Marked;
    };
    const TCase cases[] = {
        {15, 0, 10, 4, {15, 0, 20, 4}}, // past the right edge
        {0, 7, 4, 10, {0, 7, 4, 10}},   // past the bottom
        {18, 8, 5, 5, {18, 8, 20, 10}}, // past both
        {0, 0, 30, 30, {0, 0, 20, 10}}, // larger than the picture
        {25, 3, 4, 4, {}},              // wholly outside
        {3, 12, 4, 4, {}},
    };
    TColorRef color = MakeColor(10, 0, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Left << "," << c.Top);
        color += 10;
        TBitmap24 want = b.Picture();
        want.Fill(TRect{c.Left, c.Top, c.Left + c.W, c.Top + c.H}, color);
        Compose(b, Sample(skReplacement, c.Left, c.Top), SolidBmp(c.W, c.H, color));
        EXPECT_EQ(b.TakeChangedRect(), c.Marked);
        EXPECT_TRUE(SamePicture(b.Picture(), want));
    }
    // A later key frame of another size lands at its place in the same picture.
    Compose(b, Sample(skKeyFrame, 12, 6), SolidBmp(40, 40, kGreen));
    EXPECT_EQ(b.Width(), 20);
    EXPECT_EQ(b.TakeChangedRect(), (TRect{12, 6, 20, 10}));
    EXPECT_EQ(b.Picture().Pixel(19, 9), kGreen);
}

TEST(BackBuffer, RegionUnderThePointerIsDrawnBeneathIt) {
    for (int16_t kind : {skReplacement, skDifference}) {
        SCOPED_TRACE(kind);
        TBackBuffer b;
        Compose(b, Sample(skKeyFrame), PatternBmp(64, 48));
        TBitmap24 want = b.Picture();
        MovePointer(b, 10, 5);
        EXPECT_EQ(b.TakeChangedRect(), (TRect{0, 0, 64, 48}));
        ASSERT_TRUE(b.Mouse()->Visible());

        // The region covers the arrow's tip at (16, 5).
        Compose(b, Sample(kind, 0, 0), SolidBmp(20, 20, kGreen));
        EXPECT_EQ(b.TakeChangedRect(), (TRect{0, 0, 54, 48})) << "region and pointer both marked";
        EXPECT_TRUE(b.Mouse()->Visible());
        EXPECT_EQ(b.Picture().Pixel(16, 5), kBlack) << "the pointer stays on top";
        for (int32_t y = 0; y < 20; ++y)
            for (int32_t x = 0; x < 20; ++x)
                want.SetPixel(x, y, kind == skDifference ? want.Pixel(x, y) ^ kGreen : kGreen);
        EXPECT_EQ(b.Picture().Pixel(11, 5), want.Pixel(11, 5)) << "transparent pixel";

        // Lifting the pointer shows the region under it, not what was there before.
        MovePointer(b, 0, 0);
        EXPECT_FALSE(b.Mouse()->Visible());
        EXPECT_TRUE(SamePicture(b.Picture(), want));
    }
}

TEST(BackBuffer, PointerNearTheEdgesIsClippedAndHidesExactly) {
    TBackBuffer b;
    Compose(b, Sample(skKeyFrame), PatternBmp(36, 23));
    const TBitmap24 before = b.Picture();
    b.TakeChangedRect();

    const std::pair<uint16_t, uint16_t> places[] = {{30, 18}, {35, 22}, {0, 22}, {35, 0}, {1, 1}};
    for (auto [x, y] : places) {
        SCOPED_TRACE(testing::Message() << x << "," << y);
        MovePointer(b, x, y);
        ASSERT_TRUE(b.Mouse()->Visible());
        EXPECT_EQ(b.Mouse()->X(), x);
        TRect r = b.TakeChangedRect();
        EXPECT_EQ(r.Right, 36);
        EXPECT_EQ(r.Bottom, 23);
        MovePointer(b, 0, 0);
        EXPECT_TRUE(SamePicture(b.Picture(), before));
        b.TakeChangedRect();
    }
    // Moving straight from one edge to another lifts it first.
    MovePointer(b, 33, 2);
    MovePointer(b, 4, 20);
    MovePointer(b, 0, 0);
    EXPECT_TRUE(SamePicture(b.Picture(), before));
}

TEST(BackBuffer, PointerSamplesHideAtTheOriginAndOnlyReshapeBeyondThePicture) {
    TBackBuffer b;
    Compose(b, Sample(skKeyFrame), SolidBmp(40, 30, kGrey));
    const TBitmap24 bare = b.Picture();
    MovePointer(b, 5, 5);
    const TBitmap24 shown = b.Picture();
    b.TakeChangedRect();

    // Left >= Width or Top >= Height: no move.
    MovePointer(b, 40, 3);
    MovePointer(b, 3, 30);
    EXPECT_TRUE(b.Mouse()->Visible());
    EXPECT_EQ(b.Mouse()->X(), 5);
    EXPECT_TRUE(SamePicture(b.Picture(), shown));
    EXPECT_EQ(b.TakeChangedRect(), TRect{});

    // ... but a shape is taken, which leaves the pointer lifted where it was.
    NewShape(b, 40, 3, SolidBmp(4, 2, kGreen));
    EXPECT_FALSE(b.Mouse()->Visible());
    EXPECT_EQ(b.Mouse()->Width(), 4);
    EXPECT_EQ(b.Mouse()->Height(), 2);
    EXPECT_EQ(b.Mouse()->X(), 5);
    EXPECT_EQ(b.Mouse()->Y(), 5);
    EXPECT_TRUE(SamePicture(b.Picture(), bare));
    EXPECT_EQ(b.TakeChangedRect(), (TRect{5, 5, 40, 30})) << "the old pointer's place";

    NewShape(b, 7, 8, SolidBmp(4, 2, kWhite));
    EXPECT_EQ(b.Picture().Pixel(10, 9), kWhite);
    EXPECT_EQ(b.TakeChangedRect(), (TRect{5, 5, 11, 10}));
    MovePointer(b, 0, 0);
    EXPECT_FALSE(b.Mouse()->Visible());
    EXPECT_TRUE(SamePicture(b.Picture(), bare));
    EXPECT_EQ(b.TakeChangedRect(), (TRect{7, 8, 11, 10}));
}

TEST(BackBuffer, PictureSamplesMoveThePointerOnlyWhenTheyCarryAPosition) {
    TBackBuffer b;
    Compose(b, Sample(skKeyFrame), SolidBmp(60, 50, kGrey));
    MovePointer(b, 5, 5);
    b.TakeChangedRect();

    Compose(b, Sample(skReplacement, 55, 45), SolidBmp(2, 2, kGreen));
    EXPECT_TRUE(b.Mouse()->Visible());
    EXPECT_EQ(b.Mouse()->X(), 5);
    EXPECT_EQ(b.TakeChangedRect(), (TRect{55, 45, 57, 47}));

    TSampleHeader moving = Sample(skReplacement, 55, 45);
    moving.MouseX = 12; // MouseY 0: one coordinate is enough
    Compose(b, moving, SolidBmp(2, 2, kWhite));
    EXPECT_TRUE(b.Mouse()->Visible());
    EXPECT_EQ(b.Mouse()->X(), 12);
    EXPECT_EQ(b.Mouse()->Y(), 0);
    EXPECT_EQ(b.Picture().Pixel(18, 0), kBlack) << "the arrow's tip";
    EXPECT_EQ(b.Picture().Pixel(11, 5), kGrey) << "lifted from the old place";
    EXPECT_EQ(b.TakeChangedRect(), (TRect{5, 0, 57, 49}));
}

// A whole picture is copied half by another thread: the same picture, the middle
// row of an odd height included.
TEST(BackBuffer, LargeKeyFramesCopiedByTwoThreadsMakeTheSamePicture) {
    struct THelper : THelperThread {
        std::thread Thread;
        bool Start(std::function<void()> task) override {
            Thread = std::thread(std::move(task));
            return true;
        }
        void Wait() override { Thread.join(); }
    } helper;
    const auto image = PatternBmp(700, 501);
    TBitmap24 want;
    ASSERT_TRUE(DecodeDib(image.data(), image.size(), want));
    TBackBuffer b;
    b.SetHelper(&helper);
    Compose(b, Sample(skKeyFrame), image);
    EXPECT_TRUE(SamePicture(b.Picture(), want));
}

TEST(VirtualMouse, BuiltInArrowFollowsItsTable) {
    TBitmap24 target;
    target.Create(50, 50);
    TVirtualMouse m(&target);
    ASSERT_EQ(m.Width(), 44);
    ASSERT_EQ(m.Height(), 44);
    // Rows from the top: 'B' black, 'W' white, anything else transparent red.
    const std::pair<int, std::string> rows[] = {
        {0, "      B"},
        {1, "      BB"},
        {2, "      BWB"},
        {7, "      BWWWWWWB"},
        {10, "      BWWWWWWWWWB"},
        {11, "      BWWWWWWBBBBB"},
        {12, "      BWWWBWWB"},
        {13, "      BWWBBWWB"},
        {14, "      BWB  BWWB"},
        {15, "      BB   BWWB"},
        {16, "      B     BWWB"},
        {17, "            BWWB"},
        {19, "             BWWB"},
        {20, "              BB"},
        {21, ""},
        {43, ""},
    };
    for (const auto& [row, text] : rows) {
        for (int x = 0; x < 44; ++x) {
            const char c = x < static_cast<int>(text.size()) ? text[x] : ' ';
            const TColorRef want = c == 'B' ? kBlack : c == 'W' ? kWhite : kTransparentRed;
            ASSERT_EQ(m.Shape().Pixel(x, row), want) << "row " << row << ", column " << x;
        }
    }
}

TEST(VirtualMouse, ShapesOfTheSameSizeAreConvertedInPlaceOthersReplace) {
    TBitmap24 target = Solid(100, 100, kGrey);
    TVirtualMouse m(&target);
    auto same = MakeBmp(44, 44, 8, [](int32_t x, int32_t) { return x % 2u; }, {kGreen, kWhite});
    m.SetShape(same.data(), same.size());
    EXPECT_EQ(m.Width(), 44);
    EXPECT_EQ(m.Shape().Pixel(0, 0), kGreen);
    EXPECT_EQ(m.Shape().Pixel(1, 43), kWhite);

    auto small = PatternBmp(6, 3);
    m.SetShape(small.data(), small.size());
    EXPECT_EQ(m.Width(), 6);
    EXPECT_EQ(m.Height(), 3);
    EXPECT_EQ(m.Shape().Pixel(5, 2), PatternColor(5, 2));
    m.ShowAt(90, 90);
    EXPECT_EQ(target.Pixel(95, 92), PatternColor(5, 2));
    EXPECT_EQ(target.Pixel(96, 92), kGrey);
    m.Hide();
    EXPECT_TRUE(SamePicture(target, Solid(100, 100, kGrey)));
}

TEST(VirtualMouse, OnlyPureRedIsTransparent) {
    TBitmap24 target = Solid(10, 10, kGrey);
    TVirtualMouse m(&target);
    const TColorRef colors[] = {kTransparentRed, MakeColor(254, 0, 0), MakeColor(255, 1, 0),
                                MakeColor(255, 0, 1)};
    auto shape = MakeBmp(4, 1, 24, [&](int32_t x, int32_t) { return colors[x]; });
    m.SetShape(shape.data(), shape.size());
    EXPECT_FALSE(m.Visible());
    m.ShowAt(2, 3);
    EXPECT_EQ(target.Pixel(2, 3), kGrey);
    for (int x = 1; x < 4; ++x)
        EXPECT_EQ(target.Pixel(2 + x, 3), colors[x]) << x;
}

TEST(VirtualMouse, ShowAtMinusOneRedrawsWhereItWasLast) {
    TBitmap24 target = Solid(60, 60, kGrey);
    TVirtualMouse m(&target);
    m.ShowAt(-1, -1);
    EXPECT_TRUE(m.Visible());
    EXPECT_EQ(target.Pixel(6, 0), kBlack) << "never shown: at (0, 0)";
    m.ShowAt(3, 4);
    m.Hide();
    EXPECT_EQ(target.Pixel(9, 4), kGrey);
    m.ShowAt(-1, -1);
    EXPECT_EQ(m.X(), 3);
    EXPECT_EQ(target.Pixel(9, 4), kBlack);
}

TEST(VirtualMouse, ShapesLargerThan1024PixelsASideAreRefused) {
    TBitmap24 target = Solid(10, 10, kGrey);
    TVirtualMouse m(&target);
    for (auto [w, h] : {std::pair{1025, 1}, std::pair{1, 1025}}) {
        auto big = SolidBmp(w, h, kGreen);
        std::string text = AssertionText([&] { m.SetShape(big.data(), big.size()); });
        EXPECT_NE(text.find("KivShare/UnitShare"), std::string::npos) << text;
        EXPECT_EQ(m.Width(), 44) << "the old shape stays";
    }
    auto edge = SolidBmp(1024, 1, kGreen);
    m.SetShape(edge.data(), edge.size());
    EXPECT_EQ(m.Width(), 1024);
}

TEST(VirtualMouse, DamagedShapeOfTheSameSizeIsOnlyLogged) {
    TLogCapture log;
    TBitmap24 target = Solid(10, 10, kGrey);
    TVirtualMouse m(&target);
    auto shape = SolidBmp(44, 44, kGreen);
    shape.resize(shape.size() / 2);
    m.SetShape(shape.data(), shape.size());
    EXPECT_EQ(log.Count("KivPlayer.ocx->SetDIBits ErrorCode = "), 1);
    EXPECT_EQ(m.Width(), 44);
    EXPECT_EQ(m.Shape().Pixel(6, 0), kBlack) << "the arrow is kept";
}
