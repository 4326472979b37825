// Arbitrary bytes as what a recording server sends, in pieces, cut by the live
// source's own reading into a frames buffer with small limits; a stand-in for the
// play thread draws one sample whenever the reader has to wait, and trims as the
// play thread does. The buffer must never pass its limits by more than one record.
#include "sources/live_source.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int64_t kBytes = 4096;
constexpr int32_t kSamples = 16;

class TFuzzLive : public kiv::TLiveSource {
public:
    explicit TFuzzLive(kiv::TPlayContext* context) : TLiveSource(context) {}

    // First byte: the piece size, and whether the first key frame has come already.
    void Run(const uint8_t* data, size_t size) {
        const size_t piece = 1 + data[0] % 200;
        FState = data[0] & 0x80 ? lsStreaming : lsWaitingKeyFrame;
        auto& frames = FContext->Frames;
        int32_t drawn = -1;
        bool found = false;
        for (size_t pos = 1; pos < size; pos += piece) {
            if (!FCutter.Append(data + pos, std::min(piece, size - pos))) return;
            while (!CutRecords(-1, found)) {
                // Bounded: each turn draws one more sample, and with the last drawn
                // Trim always makes room.
                drawn = std::min(drawn + 1, frames.Count() - 1);
                frames.Trim(drawn);
            }
            if (frames.PeakSampleCount() > kSamples ||
                frames.PeakByteCount() > kBytes + static_cast<int64_t>(size))
                std::abort();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    kiv::TPlayContext context;
    context.Frames.SetLimits(kBytes, kSamples);
    TFuzzLive source(&context);
    try {
        source.Run(data, size);
    } catch (const std::exception&) {
        // A damaged record or a first key frame without a picture ends the stream.
    }
    return 0;
}
