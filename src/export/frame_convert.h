// Turns the picture (24-bit rows, blue-green-red) into an encoder's frame: scaled
// with one filter for every format, padded to the frame's size by repeating the
// last column and row, then converted to the codec's pixel format.
#pragma once

#include "export/av_handles.h"
#include "export/frame_sink.h"
#include "platform/bitmap24.h"

namespace kiv::exporting {

struct TGifPalette;

class TFrameConverter {
public:
    // palette: for PAL8 frames only.
    TFrameConverter(int32_t sourceWidth, int32_t sourceHeight, TOutputSize size,
                    AVPixelFormat format, TGifPalette* palette);
    // Fills frame (allocated to the frame size and format, writable).
    void Convert(const TBitmap24& picture, AVFrame& frame);

private:
    const TBitmap24& Prepared(const TBitmap24& picture);

    int32_t FSourceHeight;
    TOutputSize FSize;
    AVPixelFormat FFormat;
    TGifPalette* FPalette; // not owned
    TBitmap24 FStaging;    // scaled and padded, when either is needed
    TSws FScale;           // picture to staging
    TSws FConvert;         // staging (or picture) to the frame, for YUV and planar RGB
};

} // namespace kiv::exporting
