// What the page's canvas shows: the composed picture, or in the adaptive mode
// its reduction with the control's grid and bilinear scaling.
#pragma once

#include "control/control_types.h"
#include "platform/bitmap24.h"

#include <cstdint>
#include <vector>

namespace kiv {

class TWebSurface {
public:
    // Lays the picture out in a frame of the page; returns the zoom in percent.
    int32_t Layout(TDisplayMode mode, int32_t frameWidth, int32_t frameHeight, int32_t pictureWidth,
                   int32_t pictureHeight);
    // Brings the changed rectangle of picture to the surface; the rectangle of the
    // surface that changed (empty when none).
    TRect Copy(const TBitmap24& picture, const TRect& changed);
    // Opaque RGBA of rectangle r of the surface (or of picture itself when the
    // surface is the picture); r is clipped, and so is the result's size.
    const std::vector<uint8_t>& Rgba(const TBitmap24& picture, TRect r, bool ofPicture);

    int32_t Width(const TBitmap24& picture) const;
    int32_t Height(const TBitmap24& picture) const;

private:
    bool Scaled() const { return FMode == dmAdaptive && FZoom != 100; }

    TDisplayMode FMode = dmAdaptive;
    int32_t FZoom = 100;
    TBitmap24 FScaled; // the adaptive mode's reduced picture
    std::vector<uint8_t> FRgba;
};

} // namespace kiv
