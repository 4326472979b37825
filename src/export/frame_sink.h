// Where the exporter's pictures go: an encoder and its file, or a folder of PNGs.
#pragma once

#include "platform/bitmap24.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kiv {
enum class TExportCodec;
struct TExportOptions;
} // namespace kiv

namespace kiv::exporting {

class IFrameSink {
public:
    virtual ~IFrameSink() = default;
    // Each picture (the recording's size) with its time in the export, ms,
    // strictly increasing; changed: where it differs from the picture before.
    // Failures raise EKivError with FFmpeg's text.
    virtual void Write(const TBitmap24& picture, int64_t ms, const TRect& changed) = 0;
    // The export ends at endMs (after the last picture's time): flushes and
    // closes. Nothing is written after.
    virtual void Finish(int64_t endMs) = 0;
};

// The encoded size for a picture of width x height under the options (scale,
// size, even sides for the 4:2:0 codecs).
struct TOutputSize {
    int32_t Width = 0, Height = 0;           // what the picture is scaled to
    int32_t FrameWidth = 0, FrameHeight = 0; // the encoded frame (padded to even)
};
TOutputSize OutputSize(const TExportOptions& options, TExportCodec codec, int32_t width,
                       int32_t height);

// The sink for the codec, writing to path (a file, or the folder for Png); the
// first picture's size fixes the output's.
std::unique_ptr<IFrameSink> MakeSink(const TExportOptions& options, TExportCodec codec,
                                     const std::string& path, int32_t width, int32_t height,
                                     const struct TGifPalette* palette);

} // namespace kiv::exporting
