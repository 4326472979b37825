#include "export/gif_palette.h"

#include <algorithm>

namespace kiv::exporting {
namespace {

int Channel(uint32_t bin, int c) {
    return static_cast<int>((bin >> (12 - 6 * c)) & 63); // 0 r, 1 g, 2 b
}

struct TBox {
    std::vector<uint32_t> Bins; // non-empty bins
    uint64_t Population = 0;
    int Axis = 0, Range = 0;
};

void Measure(TBox& box) {
    int lo[3] = {63, 63, 63}, hi[3] = {0, 0, 0};
    for (uint32_t bin : box.Bins)
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], Channel(bin, c));
            hi[c] = std::max(hi[c], Channel(bin, c));
        }
    box.Range = -1;
    for (int c = 0; c < 3; ++c)
        if (hi[c] - lo[c] > box.Range) {
            box.Range = hi[c] - lo[c];
            box.Axis = c;
        }
}

} // namespace

void TColorHistogram::Add(const TBitmap24& picture) {
    for (int32_t y = 0; y < picture.Height(); ++y) {
        const uint8_t* p = picture.Row(y);
        for (int32_t x = 0; x < picture.Width(); ++x, p += 3) {
            const uint32_t bin = (static_cast<uint32_t>(p[2] >> 2) << 12) |
                                 (static_cast<uint32_t>(p[1] >> 2) << 6) | (p[0] >> 2);
            ++FCounts[bin];
            FSums[bin * 3] += p[2];
            FSums[bin * 3 + 1] += p[1];
            FSums[bin * 3 + 2] += p[0];
        }
    }
}

TGifPalette TColorHistogram::MakePalette() const {
    std::vector<TBox> boxes(1);
    for (uint32_t bin = 0; bin < kBins; ++bin)
        if (FCounts[bin]) {
            boxes[0].Bins.push_back(bin);
            boxes[0].Population += FCounts[bin];
        }
    if (boxes[0].Bins.empty()) boxes[0].Bins.push_back(0);
    Measure(boxes[0]);
    // Median cut: the most populous box that can still be split, at the median
    // of its widest channel.
    while (boxes.size() < 256) {
        TBox* widest = nullptr;
        for (auto& b : boxes)
            if (b.Bins.size() > 1 && (!widest || b.Population > widest->Population)) widest = &b;
        if (!widest) break;
        const int axis = widest->Axis;
        std::sort(widest->Bins.begin(), widest->Bins.end(),
                  [&](uint32_t a, uint32_t b) { return Channel(a, axis) < Channel(b, axis); });
        uint64_t half = widest->Population / 2, seen = 0;
        size_t cut = 1;
        for (; cut < widest->Bins.size() - 1; ++cut) {
            seen += FCounts[widest->Bins[cut - 1]];
            if (seen >= half) break;
        }
        TBox upper;
        upper.Bins.assign(widest->Bins.begin() + static_cast<std::ptrdiff_t>(cut),
                          widest->Bins.end());
        widest->Bins.resize(cut);
        widest->Population = 0;
        for (uint32_t bin : widest->Bins)
            widest->Population += FCounts[bin];
        for (uint32_t bin : upper.Bins)
            upper.Population += FCounts[bin];
        Measure(*widest);
        Measure(upper);
        boxes.push_back(std::move(upper));
    }
    TGifPalette palette;
    palette.Count = static_cast<int>(boxes.size());
    int rgb[256][3] = {};
    for (size_t i = 0; i < boxes.size(); ++i) {
        uint64_t sum[3] = {}, n = 0;
        for (uint32_t bin : boxes[i].Bins) {
            for (int c = 0; c < 3; ++c)
                sum[c] += FSums[bin * 3 + c];
            n += FCounts[bin];
        }
        if (n == 0) n = 1;
        for (int c = 0; c < 3; ++c)
            rgb[i][c] = static_cast<int>(std::min<uint64_t>(sum[c] / n, 255));
        palette.Colors[i] = static_cast<uint32_t>(rgb[i][0] << 16 | rgb[i][1] << 8 | rgb[i][2]);
    }
    return palette;
}

int16_t TGifPalette::Nearest(uint32_t bin) const {
    const int r = Channel(bin, 0) * 4 + 2, g = Channel(bin, 1) * 4 + 2, b = Channel(bin, 2) * 4 + 2;
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < Count; ++i) {
        const int dr = r - static_cast<int>(Colors[i] >> 16 & 255),
                  dg = g - static_cast<int>(Colors[i] >> 8 & 255),
                  db = b - static_cast<int>(Colors[i] & 255);
        const int d = 2 * dr * dr + 4 * dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<int16_t>(best);
}

} // namespace kiv::exporting
