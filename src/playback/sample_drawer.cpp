#include "playback/sample_drawer.h"

#include "codec/kivdecoder.h"
#include "platform/byte_order.h"
#include "platform/debug_log.h"
#include "platform/error.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace kiv {

TSampleDrawer::TSampleDrawer(const TKivFileHeader& header, TKeyFramesBuffer& keyFrames)
    : FKeyFrames(keyFrames), FBackBuffer(header),
      FDecodeBuffer(std::make_unique_for_overwrite<uint8_t[]>(kDecodeBufferSize)) {}

void TSampleDrawer::Compose(const TSampleHeader& h, const uint8_t* image, uint32_t capacity) {
    std::lock_guard guard(FBackBuffer.Lock());
    FBackBuffer.Compose(h, image, capacity);
}

TRect TSampleDrawer::TakeChangedRect() {
    std::lock_guard guard(FBackBuffer.Lock());
    return FBackBuffer.TakeChangedRect();
}

void TSampleDrawer::DecodePayload(const TSampleHeader& h, const uint8_t* payload, uint8_t* into) {
    // A damaged LZO1X block answers -1; composing the previous sample's image in its
    // place would corrupt the picture.
    if (UnZipBuffer(payload, h.Length, static_cast<int16_t>(h.Compression), into,
                    kDecodeBufferSize) < 0)
        throw EKivError("LZO1X data damaged");
}

std::unique_ptr<uint8_t[]> TSampleDrawer::DecodeKeyFrame(const TSampleHeader& h,
                                                         const uint8_t* payload) {
    // Key frames go into the cache's own blocks, so the decode buffer only ever
    // holds regions and stays mostly untouched.
    auto image = FKeyFrames.SpareFor(kDecodeBufferSize);
    DecodePayload(h, payload, image.get());
    FKeyFrames.AdoptKeyFrame(h, image, kDecodeBufferSize);
    return image; // null once cached
}

void TSampleDrawer::Decode(const uint8_t* sample) {
    const TSampleHeader h = ParseSampleHeader(sample);
    if (h.Length == 0) return;
    const uint8_t* payload = sample + kSampleHeaderSize;
    if (h.Kind == skKeyFrame) {
        std::lock_guard guard(FKeyFrames.Lock());
        if (!FKeyFrames.FindKeyFrame(h.TimeStamp)) DecodeKeyFrame(h, payload);
    } else if (h.Kind == skDifference || h.Kind == skPointer || h.Kind == skReplacement) {
        DecodePayload(h, payload, FDecodeBuffer.get());
    }
}

bool TSampleDrawer::Draw(const uint8_t* sample, bool decoded) {
    const TSampleHeader h = ParseSampleHeader(sample);
    const uint8_t* payload = h.Length ? sample + kSampleHeaderSize : nullptr;
    switch (h.Kind) {
    case skKeyFrame: {
        FSegmentDamaged = true; // until it is composed
        std::lock_guard guard(FKeyFrames.Lock());
        if (const uint8_t* cached = FKeyFrames.FindKeyFrame(h.TimeStamp)) {
            Compose(h, cached, LoadLE32(cached + 2));
        } else if (payload) {
            // Composed from where it went: the cache, or the refused block.
            const auto refused = DecodeKeyFrame(h, payload);
            Compose(h, refused ? refused.get() : FKeyFrames.FindKeyFrame(h.TimeStamp),
                    kDecodeBufferSize);
        } else {
            Compose(h, nullptr, kDecodeBufferSize);
        }
        FSegmentDamaged = false;
        break;
    }
    case skDifference:
    case skReplacement:
        if (FSegmentDamaged) break;
        [[fallthrough]];
    case skPointer:
        if (payload && !decoded) DecodePayload(h, payload, FDecodeBuffer.get());
        Compose(h, payload ? FDecodeBuffer.get() : nullptr, kDecodeBufferSize);
        break;
    case skMarker:
        return true;
    default:
        break;
    }
    return false;
}

void TSampleDrawer::DrawDecoded(const uint8_t* sample, const uint8_t* image, uint32_t size) {
    const TSampleHeader h = ParseSampleHeader(sample);
    if (h.Kind != skPointer && FSegmentDamaged) return;
    Compose(h, image, size);
}

void TSampleDrawer::Skip(const uint8_t* sample, const char* where, const std::exception& e) {
    // The regions of a damaged key frame's segment have no picture to go onto.
    if (SampleKind(sample) == skKeyFrame) FSegmentDamaged = true;
    FSkipped = FSkipped + 1;
    DebugLog(std::string("TPlayThread.") + where + " raise:" + e.what());
    char line[96];
    std::snprintf(line, sizeof line, " Skipped the damaged sample at %u ms (%u in all)",
                  SampleTimeStamp(sample), FSkipped.load());
    DebugLog(line);
}

} // namespace kiv
