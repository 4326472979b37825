// Where the picture frame puts the picture: dmAdaptive shrinks it to fit by a
// truncating zoom and never enlarges it; dmOriginal shows it at its own size
// with scroll bars where it does not fit. Either centres what fits.
#pragma once

#include "control/control_types.h"
#include "platform/bitmap24.h"

#include <cstdint>
#include <optional>

namespace kiv {

struct TSize {
    int32_t Width = 0;
    int32_t Height = 0;
    bool operator==(const TSize&) const = default;
};

// dmOriginal shows a bar the picture needs and hides none: one shown before stays.
enum class TScrollBar : uint8_t { Hidden, Shown, AsBefore };

struct TFrameLayout {
    TRect Image;        // in the frame, scrolled to its start
    int32_t Zoom = 100; // percent; dmOriginal keeps the one it was given
    TScrollBar Horizontal = TScrollBar::Hidden;
    TScrollBar Vertical = TScrollBar::Hidden;
};

// The left or top that centres inner in outer; negative when inner is larger,
// so that it is cropped on both sides. Truncates towards zero.
constexpr int32_t Centred(int32_t outer, int32_t inner) {
    return (outer - inner) / 2;
}

// zoom: the frame's current one. Nothing while the picture is empty, or in
// dmFull, where the frame's picture is not moved.
std::optional<TFrameLayout> LayOutFrame(TSize frame, TSize picture, TDisplayMode mode,
                                        int32_t zoom);

// How far the frame scrolls over the laid-out image with viewport visible
// (the frame less the bars shown).
TSize ScrollRange(const TRect& image, TSize viewport);

} // namespace kiv
