// Turns the picture (24-bit rows, blue-green-red) into an encoder's frame: scaled
// with one filter for every format, padded to the frame's size by repeating the
// last column and row, then converted to the codec's pixel format.
#pragma once

#include "export/av_handles.h"
#include "export/frame_sink.h"
#include "platform/bitmap24.h"

namespace kiv::exporting {

struct TGifPalette;

// BT.601 studio range 4:2:0 from blue-green-red, the chroma of each 2 x 2 block
// its mean: blocks are independent, so converting a rectangle gives the pixels a
// whole conversion would. r: even corners, inside both pictures.
void ConvertToYuv420(const TBitmap24& picture, const TRect& r, AVFrame& frame);

class TFrameConverter {
public:
    // palette: for PAL8 frames only.
    TFrameConverter(int32_t sourceWidth, int32_t sourceHeight, TOutputSize size,
                    AVPixelFormat format, TGifPalette* palette);
    // Brings frame (allocated to the frame size and format, writable, holding the
    // last picture converted) up to picture; changed: where picture differs from
    // that last one. A scaled picture is converted whole.
    void Convert(const TBitmap24& picture, const TRect& changed, AVFrame& frame);

private:
    // The staging picture (or the picture itself) and where it changed.
    const TBitmap24& Prepared(const TBitmap24& picture, TRect& changed);
    void ConvertRect(const TBitmap24& p, const TRect& r, AVFrame& frame);

    int32_t FSourceHeight;
    TOutputSize FSize;
    AVPixelFormat FFormat;
    TGifPalette* FPalette; // not owned
    TBitmap24 FStaging;    // scaled and padded, when either is needed
    TSws FScale;           // picture to staging
    bool FFilled = false;  // the frame holds a whole picture
};

} // namespace kiv::exporting
