// Reading a recording back in tests: walking its records with bounds checks,
// and a minimal player that composes decoded bitmaps as the back buffer does.
#pragma once

#include "format/kiv_format.h"
#include "synth/picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::test {

struct TWalkedSample {
    TSampleHeader Header;
    uint64_t Offset; // from the start of the sample area
    const uint8_t* Payload;
};

struct TWalkedRecording {
    TKivFileHeader Header{};
    std::vector<TWalkedSample> Samples;
    std::vector<TIndexEntry> Index;
};

// Parses header, sample area and index; returns an error text, empty when the
// recording is well formed (every record inside the sample area, the index
// right behind it, nothing after the index).
std::string WalkRecording(const std::vector<uint8_t>& bytes, TWalkedRecording& out);

struct TBmpInfo {
    int32_t Width = 0, Height = 0; // height as stored (negative: top-down)
    int Bits = 0;
    uint32_t FileSize = 0, PixelOffset = 0;
};
// Checks a BMP file image as the player's consumers read it; error text or empty.
std::string ParseBmp(const uint8_t* image, size_t size, TBmpInfo& info);

class TTestPlayer {
public:
    TTestPlayer(int32_t width, int32_t height) : Picture(width, height) {}
    // Composes a decoded image of a kind 0, 1 or 3 sample (16 or 24 bits).
    void Apply(const TSampleHeader& h, const uint8_t* image, size_t size);
    synth::TPicture Picture;
};

// Mean absolute difference per byte.
double MeanDifference(const synth::TPicture& a, const synth::TPicture& b);

} // namespace kiv::test
