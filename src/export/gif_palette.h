// A GIF's palette made for the clip: a histogram of every picture exported
// (first pass), cut into at most 256 boxes by their populations.
#pragma once

#include "platform/bitmap24.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kiv::exporting {

struct TGifPalette {
    std::array<uint32_t, 256> Colors{}; // 0xRRGGBB
    int Count = 0;

    // The nearest palette colour, found once for each colour at 6 bits a channel.
    uint8_t IndexOf(uint8_t b, uint8_t g, uint8_t r) {
        const uint32_t bin =
            (static_cast<uint32_t>(r >> 2) << 12) | (static_cast<uint32_t>(g >> 2) << 6) | (b >> 2);
        if (FLut.empty()) FLut.assign(1u << 18, -1);
        if (FLut[bin] < 0) FLut[bin] = Nearest(bin);
        return static_cast<uint8_t>(FLut[bin]);
    }

private:
    int16_t Nearest(uint32_t bin) const;
    std::vector<int16_t> FLut; // palette index by bin, -1 until looked up
};

class TColorHistogram {
public:
    TColorHistogram() : FCounts(kBins, 0), FSums(kBins * 3, 0) {}
    void Add(const TBitmap24& picture);
    TGifPalette MakePalette() const;

private:
    static constexpr uint32_t kBins = 1u << 18;
    std::vector<uint64_t> FCounts;
    std::vector<uint64_t> FSums; // r, g, b of the pixels in each bin, for exact means
};

} // namespace kiv::exporting
