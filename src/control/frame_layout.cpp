#include "control/frame_layout.h"

#include <algorithm>

namespace kiv {

namespace {

TRect At(int32_t left, int32_t top, int32_t width, int32_t height) {
    return {left, top, left + width, top + height};
}

TFrameLayout Adaptive(TSize f, TSize p) {
    TFrameLayout l;
    if (f.Width >= p.Width && f.Height >= p.Height) {
        l.Image = At(Centred(f.Width, p.Width), Centred(f.Height, p.Height), p.Width, p.Height);
        return l;
    }
    // The side that runs out first sets the zoom.
    const bool widthLimits = int64_t{f.Width} * p.Height - int64_t{p.Width} * f.Height <= 0;
    l.Zoom = static_cast<int32_t>(widthLimits ? int64_t{f.Width} * 100 / p.Width
                                              : int64_t{f.Height} * 100 / p.Height);
    const int32_t w = static_cast<int32_t>(int64_t{p.Width} * l.Zoom / 100);
    const int32_t h = static_cast<int32_t>(int64_t{p.Height} * l.Zoom / 100);
    l.Image = At(Centred(f.Width, w), Centred(f.Height, h), w, h);
    return l;
}

TFrameLayout Original(TSize f, TSize p, int32_t zoom) {
    TFrameLayout l;
    l.Zoom = zoom;
    // A side as large as the frame already needs its bar.
    const bool wide = p.Width >= f.Width, tall = p.Height >= f.Height;
    l.Horizontal = wide ? TScrollBar::Shown : TScrollBar::AsBefore;
    l.Vertical = tall ? TScrollBar::Shown : TScrollBar::AsBefore;
    l.Image = At(wide ? 0 : Centred(f.Width, p.Width), tall ? 0 : Centred(f.Height, p.Height),
                 p.Width, p.Height);
    return l;
}

} // namespace

std::optional<TFrameLayout> LayOutFrame(TSize frame, TSize picture, TDisplayMode mode,
                                        int32_t zoom) {
    if (picture.Width == 0 || picture.Height == 0) return std::nullopt;
    if (mode == dmAdaptive) return Adaptive(frame, picture);
    if (mode == dmOriginal) return Original(frame, picture, zoom);
    return std::nullopt;
}

TSize ScrollRange(const TRect& image, TSize viewport) {
    return {std::max(image.Right - viewport.Width, 0), std::max(image.Bottom - viewport.Height, 0)};
}

} // namespace kiv
