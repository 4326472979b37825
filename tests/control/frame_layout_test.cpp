#include "control/frame_layout.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

constexpr TScrollBar H = TScrollBar::Hidden, S = TScrollBar::Shown, K = TScrollBar::AsBefore;

TEST(FrameLayout, PlacesZoomsAndShowsBarsForEachMode) {
    struct TCase {
        TSize Frame, Picture;
        TDisplayMode Mode;
        TRect Image;
        int32_t Zoom;
        TScrollBar Horizontal, Vertical;
    };
    // The zoom given is 77: only dmAdaptive sets it.
    const TCase cases[] = {
        {{500, 500}, {500, 500}, dmAdaptive, {0, 0, 500, 500}, 100, H, H},
        {{500, 500}, {200, 100}, dmAdaptive, {150, 200, 350, 300}, 100, H, H},
        // Larger in one direction only: that side sets the zoom.
        {{500, 500}, {501, 500}, dmAdaptive, {2, 2, 497, 497}, 99, H, H},
        {{500, 500}, {600, 100}, dmAdaptive, {1, 208, 499, 291}, 83, H, H},
        {{500, 500}, {100, 600}, dmAdaptive, {208, 1, 291, 499}, 83, H, H},
        {{500, 500}, {1024, 768}, dmAdaptive, {4, 66, 495, 434}, 48, H, H},
        // A frame with nothing to show in: nothing shown.
        {{0, 0}, {100, 50}, dmAdaptive, {0, 0, 0, 0}, 0, H, H},
        {{500, 0}, {100, 50}, dmAdaptive, {250, 0, 250, 0}, 0, H, H},
        {{500, 500}, {500, 300}, dmOriginal, {0, 100, 500, 400}, 77, S, K},
        {{500, 500}, {200, 700}, dmOriginal, {150, 0, 350, 700}, 77, K, S},
        {{500, 500}, {800, 700}, dmOriginal, {0, 0, 800, 700}, 77, S, S},
        {{500, 500}, {200, 100}, dmOriginal, {150, 200, 350, 300}, 77, K, K},
        {{0, 0}, {100, 50}, dmOriginal, {0, 0, 100, 50}, 77, S, S},
    };
    for (const TCase& c : cases) {
        const std::optional<TFrameLayout> l = LayOutFrame(c.Frame, c.Picture, c.Mode, 77);
        const std::string what = std::to_string(c.Picture.Width) + "x" +
                                 std::to_string(c.Picture.Height) + " in " +
                                 std::to_string(c.Frame.Width) + "x" +
                                 std::to_string(c.Frame.Height) + " mode " + std::to_string(c.Mode);
        ASSERT_TRUE(l) << what;
        EXPECT_EQ(l->Image, c.Image) << what;
        EXPECT_EQ(l->Zoom, c.Zoom) << what;
        EXPECT_EQ(l->Horizontal, c.Horizontal) << what;
        EXPECT_EQ(l->Vertical, c.Vertical) << what;
    }
}

TEST(FrameLayout, AnEmptyPictureOrFullScreenLeavesTheFrameAlone) {
    EXPECT_FALSE(LayOutFrame({500, 500}, {0, 0}, dmAdaptive, 100));
    EXPECT_FALSE(LayOutFrame({500, 500}, {0, 300}, dmOriginal, 100));
    EXPECT_FALSE(LayOutFrame({500, 500}, {300, 0}, dmAdaptive, 100));
    EXPECT_FALSE(LayOutFrame({500, 500}, {300, 200}, dmFull, 100));
}

TEST(FrameLayout, ScrollsAsFarAsTheImageReachesPastTheViewport) {
    struct TCase {
        TRect Image;
        TSize Viewport, Range;
    };
    const TCase cases[] = {
        {{0, 0, 800, 700}, {483, 483}, {317, 217}},
        {{0, 100, 500, 400}, {500, 483}, {0, 0}},
        {{150, 200, 350, 300}, {500, 500}, {0, 0}},
        {{0, 0, 100, 50}, {0, 0}, {100, 50}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ScrollRange(c.Image, c.Viewport), c.Range)
            << c.Image.Right << "x" << c.Image.Bottom;
}

} // namespace
} // namespace kiv
