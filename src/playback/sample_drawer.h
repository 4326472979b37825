// Decoding a buffered sample and composing it onto the picture: the step the
// play thread takes for every sample, and the web engine's driver too.
#pragma once

#include "buffers/key_frames_buffer.h"
#include "format/kiv_format.h"
#include "playback/back_buffer.h"

#include <atomic>
#include <exception>
#include <memory>

namespace kiv {

class TSampleDrawer {
public:
    // keyFrames: the context's cache, shared with whoever clears it on close.
    TSampleDrawer(const TKivFileHeader& header, TKeyFramesBuffer& keyFrames);

    // Decodes a sample ahead of its time (key frames into the cache).
    void Decode(const uint8_t* sample);
    // Composes the sample; decoded: Decode ran for it. True for a marker (nothing
    // composed: the caller tells its window). Raises on a damaged sample.
    bool Draw(const uint8_t* sample, bool decoded);
    // Composes a region or pointer shape decoded elsewhere into image (its own
    // size field says how many bytes it has).
    void DrawDecoded(const uint8_t* sample, const uint8_t* image, uint32_t size);
    // A damaged sample is passed over: the picture stays as it was for it.
    void Skip(const uint8_t* sample, const char* where, const std::exception& e);
    // The changed rectangle since the last call, under the picture's lock.
    TRect TakeChangedRect();

    TBackBuffer& BackBuffer() { return FBackBuffer; }
    // Samples passed over because they failed to decode or compose.
    uint32_t SkippedSamples() const { return FSkipped.load(); }

private:
    void DecodePayload(const TSampleHeader& h, const uint8_t* payload, uint8_t* into);
    // Into the cache; the image only when the cache refused it. Key-frame lock held.
    std::unique_ptr<uint8_t[]> DecodeKeyFrame(const TSampleHeader& h, const uint8_t* payload);
    void Compose(const TSampleHeader& h, const uint8_t* image, uint32_t capacity);

    TKeyFramesBuffer& FKeyFrames;
    TBackBuffer FBackBuffer;
    std::unique_ptr<uint8_t[]> FDecodeBuffer; // drawing thread: regions and pointer shapes
    bool FSegmentDamaged = false;             // drawing thread: the last key frame was damaged
    std::atomic<uint32_t> FSkipped{0};        // written by the drawing thread
};

} // namespace kiv
