#include "control/picture_copy.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kiv {

namespace {

constexpr int32_t kGrid = 100;

int32_t Clamp(int64_t v, int32_t hi) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, 0, hi));
}

// n / d for every n below 2^31, by one multiplication.
class TDivider {
public:
    explicit TDivider(uint32_t d) {
        while ((uint64_t{1} << FShift) < d)
            ++FShift;
        FShift += 31;
        FMagic = ((uint64_t{1} << FShift) + d - 1) / d;
    }
    uint32_t operator()(uint32_t n) const {
        return static_cast<uint32_t>((uint64_t{n} * FMagic) >> FShift);
    }

private:
    uint32_t FShift = 0;
    uint64_t FMagic = 0;
};

// The formula in 64 bits, for sizes whose sums would not fit the fast path.
void ScaleWide(const TPixels& dst, const TRect& d, const TConstPixels& src, const TRect& s,
               int32_t y0, int32_t y1, int32_t k0, int32_t k1) {
    const int64_t sR = s.Right - 1, sB = s.Bottom - 1;
    const int64_t dR = d.Right - 1, dB = d.Bottom - 1;
    const int64_t den = dR * dB;
    for (int32_t y = y0; y < y1; ++y) {
        const int64_t q = dB ? y * sB / dB : 0, r = dB ? y * sB % dB : 0;
        const int64_t wy = dB - r;
        const uint8_t* a = src.Bits + Clamp(q, src.Height - 1) * src.Stride;
        const uint8_t* b = r ? src.Bits + Clamp(q + 1, src.Height - 1) * src.Stride : a;
        uint8_t* out = dst.Bits + static_cast<size_t>(y) * dst.Stride;
        for (int32_t k = k0; k < k1; ++k) {
            const int64_t c = dR ? k * sR / dR : 0, r2 = dR ? k * sR % dR : 0;
            const int64_t wx = dR - r2;
            const size_t i0 = size_t{3} * Clamp(s.Left + c, src.Width - 1);
            const size_t i1 = r2 ? size_t{3} * Clamp(s.Left + c + 1, src.Width - 1) : i0;
            uint8_t* o = out + size_t{3} * (d.Left + k);
            for (size_t ch = 0; ch < 3; ++ch) {
                if (den == 0) {
                    o[ch] = a[i0 + ch];
                    continue;
                }
                const int64_t v = wx * wy * a[i0 + ch] + (dR - wx) * wy * a[i1 + ch] +
                                  wx * (dB - wy) * b[i0 + ch] + (dR - wx) * (dB - wy) * b[i1 + ch];
                o[ch] = static_cast<uint8_t>((v + den / 2) / den);
            }
        }
    }
}

} // namespace

TPictureCopy PlanPictureCopy(const TRect& changed, TDisplayMode mode, int32_t zoom, int32_t width,
                             int32_t height, int32_t surfaceWidth, int32_t surfaceHeight) {
    TPictureCopy plan{changed, changed};
    if (mode != dmAdaptive) return plan;
    TRect& s = plan.Source;
    s.Left = changed.Left / kGrid * kGrid;
    s.Top = changed.Top / kGrid * kGrid;
    // A whole block more even on the grid.
    s.Right = std::min((changed.Right / kGrid + 1) * kGrid, width);
    s.Bottom = std::min((changed.Bottom / kGrid + 1) * kGrid, height);
    TRect& d = plan.Dest;
    d.Left = zoom * s.Left / 100;
    d.Top = zoom * s.Top / 100;
    d.Right = std::min(zoom * s.Right / 100, surfaceWidth);
    d.Bottom = std::min(zoom * s.Bottom / 100, surfaceHeight);
    return plan;
}

bool CopyRect(const TPixels& dst, const TConstPixels& src, const TRect& s) {
    const int32_t left = std::max(s.Left, 0), top = std::max(s.Top, 0);
    const int32_t right = std::min({s.Right, src.Width, dst.Width});
    const int32_t bottom = std::min({s.Bottom, src.Height, dst.Height});
    if (right <= left || bottom <= top) return false;
    const size_t bytes = size_t{3} * (right - left);
    for (int32_t y = top; y < bottom; ++y)
        std::memcpy(dst.Bits + y * dst.Stride + size_t{3} * left,
                    src.Bits + y * src.Stride + size_t{3} * left, bytes);
    return true;
}

void ScaleRectBilinear(const TPixels& dst, const TRect& d, const TConstPixels& src,
                       const TRect& s) {
    if (d.IsEmpty() || s.IsEmpty() || src.Width <= 0 || src.Height <= 0) return;
    // Rows and columns of d that land inside dst; the mapping uses d unclipped.
    const int32_t y0 = std::max(d.Top, 0), y1 = std::min(d.Bottom, dst.Height);
    const int32_t k0 = std::max(0, -d.Left), k1 = std::min(d.Right, dst.Width) - d.Left;
    if (y1 <= y0 || k1 <= k0) return;
    const int64_t dR64 = d.Right - 1, dB64 = d.Bottom - 1;
    // Sums up to 255.5 * dR * dB must fit 32 bits.
    if (dR64 == 0 || dB64 == 0 || dR64 * dB64 > 8'000'000 || s.Right > 65535 || s.Bottom > 65535) {
        ScaleWide(dst, d, src, s, y0, y1, k0, k1);
        return;
    }
    const uint32_t sR = s.Right - 1, sB = s.Bottom - 1;
    const uint32_t dR = static_cast<uint32_t>(dR64), dB = static_cast<uint32_t>(dB64);
    const uint32_t half = dR * dB / 2;
    const TDivider divide(dR * dB);

    // Per column: where its two source pixels are and their weights.
    const size_t n = static_cast<size_t>(k1 - k0);
    std::vector<uint32_t> i0(n), i1(n), wx(n);
    for (size_t j = 0; j < n; ++j) {
        const uint32_t k = static_cast<uint32_t>(k0) + static_cast<uint32_t>(j);
        const uint32_t c = k * sR / dR, r2 = k * sR % dR;
        wx[j] = dR - r2;
        i0[j] = 3 * static_cast<uint32_t>(Clamp(int64_t{s.Left} + c, src.Width - 1));
        i1[j] =
            r2 ? 3 * static_cast<uint32_t>(Clamp(int64_t{s.Left} + c + 1, src.Width - 1)) : i0[j];
    }
    // A source row interpolated across, kept while following rows use it.
    struct TRow {
        int32_t Index = -1;
        std::vector<uint32_t> Values;
    };
    TRow rows[2];
    rows[0].Values.resize(3 * n);
    rows[1].Values.resize(3 * n);
    auto across = [&](int32_t index, TRow& spare) -> const uint32_t* {
        for (TRow& row : rows)
            if (row.Index == index) return row.Values.data();
        const uint8_t* p = src.Bits + static_cast<size_t>(index) * src.Stride;
        uint32_t* v = spare.Values.data();
        for (size_t j = 0; j < n; ++j) {
            const uint32_t a = wx[j], b = dR - wx[j];
            const uint8_t* p0 = p + i0[j];
            const uint8_t* p1 = p + i1[j];
            v[3 * j] = a * p0[0] + b * p1[0];
            v[3 * j + 1] = a * p0[1] + b * p1[1];
            v[3 * j + 2] = a * p0[2] + b * p1[2];
        }
        spare.Index = index;
        return v;
    };
    for (int32_t y = y0; y < y1; ++y) {
        const uint32_t uy = static_cast<uint32_t>(y);
        const uint32_t q = uy * sB / dB, r = uy * sB % dB;
        const uint32_t wy = dB - r, wy2 = dB - wy;
        const int32_t qa = Clamp(q, src.Height - 1);
        const int32_t qb = r ? Clamp(int64_t{q} + 1, src.Height - 1) : qa;
        // The row not needed now is the one to overwrite.
        const uint32_t* a = across(qa, rows[0].Index == qb ? rows[1] : rows[0]);
        const uint32_t* b = qb == qa ? a : across(qb, rows[0].Index == qa ? rows[1] : rows[0]);
        uint8_t* out = dst.Bits + static_cast<size_t>(y) * dst.Stride + size_t{3} * (d.Left + k0);
        for (size_t i = 0; i < 3 * n; ++i)
            out[i] = static_cast<uint8_t>(divide(wy * a[i] + wy2 * b[i] + half));
    }
}

} // namespace kiv
