#include "web/web_surface.h"

#include "control/frame_layout.h"
#include "control/picture_copy.h"

#include <algorithm>

namespace kiv {

int32_t TWebSurface::Layout(TDisplayMode mode, int32_t frameWidth, int32_t frameHeight,
                            int32_t pictureWidth, int32_t pictureHeight) {
    FMode = mode;
    const auto layout = LayOutFrame({frameWidth, frameHeight}, {pictureWidth, pictureHeight},
                                    mode == dmFull ? dmOriginal : mode, FZoom);
    FZoom = mode == dmAdaptive && layout ? layout->Zoom : 100;
    if (Scaled())
        FScaled.Create(static_cast<int32_t>(layout->Image.Width()),
                       static_cast<int32_t>(layout->Image.Height()));
    else
        FScaled.Create(0, 0);
    return FZoom;
}

int32_t TWebSurface::Width(const TBitmap24& picture) const {
    return Scaled() ? FScaled.Width() : picture.Width();
}

int32_t TWebSurface::Height(const TBitmap24& picture) const {
    return Scaled() ? FScaled.Height() : picture.Height();
}

TRect TWebSurface::Copy(const TBitmap24& picture, const TRect& changed) {
    if (!Scaled()) return changed;
    const TPictureCopy plan = PlanPictureCopy(changed, FMode, FZoom, picture.Width(),
                                              picture.Height(), FScaled.Width(), FScaled.Height());
    if (plan.Direct())
        CopyRect(PixelsOf(FScaled), PixelsOf(picture), plan.Source);
    else
        ScaleRectBilinear(PixelsOf(FScaled), plan.Dest, PixelsOf(picture), plan.Source);
    return plan.Dest;
}

const std::vector<uint8_t>& TWebSurface::Rgba(const TBitmap24& picture, TRect r, bool ofPicture) {
    const TBitmap24& from = ofPicture || !Scaled() ? picture : FScaled;
    r.Left = std::clamp(r.Left, 0, from.Width());
    r.Right = std::clamp(r.Right, r.Left, from.Width());
    r.Top = std::clamp(r.Top, 0, from.Height());
    r.Bottom = std::clamp(r.Bottom, r.Top, from.Height());
    const auto w = static_cast<size_t>(r.Width()), h = static_cast<size_t>(r.Height());
    FRgba.resize(w * h * 4);
    uint8_t* out = FRgba.data();
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
        const uint8_t* in = from.Row(y) + static_cast<size_t>(r.Left) * 3;
        for (size_t x = 0; x < w; ++x, in += 3, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = 255;
        }
    }
    return FRgba;
}

} // namespace kiv
