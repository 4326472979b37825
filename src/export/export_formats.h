// The export formats: one table from codec to encoder, pixel format and the
// container it goes in by default.
#pragma once

#include "export/exporter.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace kiv::exporting {

struct TFormatInfo {
    TExportCodec Codec;
    const char* Name;     // as --codec takes it
    const char* Encoder;  // libavcodec's encoder
    const char* Muxer;    // for an output whose extension names none; null: a folder
    AVPixelFormat Pixels; // what the encoder is fed
    bool EvenSides;       // 4:2:0 needs even sides
    int TimeBase;         // ticks a second of the stream
};

const TFormatInfo& FormatInfo(TExportCodec codec);

} // namespace kiv::exporting
