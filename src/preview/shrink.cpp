#include "preview/shrink.h"

#include <algorithm>
#include <vector>

namespace kiv {

TBitmap24 ShrinkPicture(const TBitmap24& source, int32_t maxWidth, int32_t maxHeight) {
    TBitmap24 out;
    const int64_t w = source.Width(), h = source.Height();
    if (w <= 0 || h <= 0 || maxWidth <= 0 || maxHeight <= 0) return out;
    int64_t ow = w, oh = h;
    if (w > maxWidth || h > maxHeight) {
        // The side that limits decides the scale.
        if (w * maxHeight >= h * maxWidth) {
            ow = maxWidth;
            oh = std::max<int64_t>(1, h * maxWidth / w);
        } else {
            oh = maxHeight;
            ow = std::max<int64_t>(1, w * maxHeight / h);
        }
    }
    if (!out.Create(static_cast<int32_t>(ow), static_cast<int32_t>(oh))) return out;
    // Column spans of the source per output column, and per-row sums of them.
    std::vector<int32_t> x0(static_cast<size_t>(ow) + 1);
    for (int64_t x = 0; x <= ow; ++x)
        x0[static_cast<size_t>(x)] = static_cast<int32_t>(x * w / ow);
    std::vector<uint64_t> sums(static_cast<size_t>(ow) * 3);
    for (int64_t y = 0; y < oh; ++y) {
        const auto sy0 = static_cast<int32_t>(y * h / oh);
        const auto sy1 = std::max(sy0 + 1, static_cast<int32_t>((y + 1) * h / oh));
        std::fill(sums.begin(), sums.end(), 0u);
        for (int32_t sy = sy0; sy < sy1; ++sy) {
            const uint8_t* row = source.Row(sy);
            for (int64_t x = 0; x < ow; ++x) {
                const int32_t a = x0[static_cast<size_t>(x)];
                const int32_t b = std::max(a + 1, x0[static_cast<size_t>(x) + 1]);
                uint64_t* s = &sums[static_cast<size_t>(x) * 3];
                for (int32_t sx = a; sx < b; ++sx) {
                    s[0] += row[sx * 3];
                    s[1] += row[sx * 3 + 1];
                    s[2] += row[sx * 3 + 2];
                }
            }
        }
        uint8_t* dst = out.Row(static_cast<int32_t>(y));
        for (int64_t x = 0; x < ow; ++x) {
            const int32_t a = x0[static_cast<size_t>(x)];
            const auto n = static_cast<uint64_t>(
                (std::max(a + 1, x0[static_cast<size_t>(x) + 1]) - a) * (sy1 - sy0));
            for (int c = 0; c < 3; ++c)
                dst[x * 3 + c] = static_cast<uint8_t>(sums[static_cast<size_t>(x) * 3 + c] / n);
        }
    }
    return out;
}

} // namespace kiv
