#include "control/picture_copy.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kiv {

namespace {

constexpr int32_t kGrid = 100;

int32_t Clamp(int64_t v, int32_t hi) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, 0, hi));
}

// n / d for every n below 2^31, by one multiplication.
struct TDivider {
    explicit TDivider(uint32_t d) {
        while ((uint64_t{1} << Shift) < d)
            ++Shift;
        Shift += 31;
        Magic = ((uint64_t{1} << Shift) + d - 1) / d;
    }
    uint32_t Shift = 0;
    uint64_t Magic = 0; // below 2^32 for every d above 1
};

void DownPlain(uint32_t* out, const uint8_t* a, const uint8_t* b, size_t count, uint32_t wa,
               uint32_t wb) {
    for (size_t i = 0; i < count; ++i)
        out[i] = wa * a[i] + wb * b[i];
}

#if defined(__x86_64__)
// Sixteen bytes a step: each a, b pair as two 16-bit values, multiplied by the
// weight pair and summed in one instruction. Weights must be below 2^15.
[[gnu::target("avx2")]] void DownAvx2(uint32_t* out, const uint8_t* a, const uint8_t* b,
                                      size_t count, uint32_t wa, uint32_t wb) {
    const __m256i w = _mm256_set1_epi32(static_cast<int>((wb << 16) | wa));
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i av = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m256i lo = _mm256_cvtepu8_epi16(_mm_unpacklo_epi8(av, bv));
        const __m256i hi = _mm256_cvtepu8_epi16(_mm_unpackhi_epi8(av, bv));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_madd_epi16(lo, w));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 8), _mm256_madd_epi16(hi, w));
    }
    DownPlain(out + i, a + i, b + i, count - i, wa, wb);
}
#endif

void Down(uint32_t* out, const uint8_t* a, const uint8_t* b, size_t count, uint32_t wa,
          uint32_t wb) {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && wa < 32768 && wb < 32768) return DownAvx2(out, a, b, count, wa, wb);
#endif
    DownPlain(out, a, b, count, wa, wb);
}

void CombinePlain(uint8_t* out, const uint32_t* l, const uint32_t* r, const uint32_t* wa,
                  const uint32_t* wb, size_t count, uint32_t half, uint64_t magic, uint32_t shift) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t v = wa[i] * l[i] + wb[i] * r[i] + half;
        out[i] = static_cast<uint8_t>((uint64_t{v} * magic) >> shift);
    }
}

#if defined(__x86_64__)
// Eight bytes a step; the division as 32 x 32 -> 64-bit products of the even
// and the odd lanes.
[[gnu::target("avx2")]] void CombineAvx2(uint8_t* out, const uint32_t* l, const uint32_t* r,
                                         const uint32_t* wa, const uint32_t* wb, size_t count,
                                         uint32_t half, uint64_t magic, uint32_t shift) {
    const __m256i vhalf = _mm256_set1_epi32(static_cast<int>(half));
    const __m256i vmagic = _mm256_set1_epi64x(static_cast<long long>(magic));
    const __m128i vshift = _mm_cvtsi32_si128(static_cast<int>(shift));
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i v = _mm256_add_epi32(
            _mm256_add_epi32(
                _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(wa + i)),
                                   _mm256_loadu_si256(reinterpret_cast<const __m256i*>(l + i))),
                _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(wb + i)),
                                   _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r + i)))),
            vhalf);
        const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(v, vmagic), vshift);
        const __m256i odd =
            _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(v, 32), vmagic), vshift);
        const __m256i q = _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
        const __m128i w16 =
            _mm_packus_epi32(_mm256_castsi256_si128(q), _mm256_extracti128_si256(q, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(w16, w16));
    }
    CombinePlain(out + i, l + i, r + i, wa + i, wb + i, count - i, half, magic, shift);
}
#endif

void Combine(uint8_t* out, const uint32_t* l, const uint32_t* r, const uint32_t* wa,
             const uint32_t* wb, size_t count, uint32_t half, uint64_t magic, uint32_t shift) {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return CombineAvx2(out, l, r, wa, wb, count, half, magic, shift);
#endif
    CombinePlain(out, l, r, wa, wb, count, half, magic, shift);
}

#if defined(__x86_64__)
// Sixteen destination bytes a step on AVX-512: both sums of each lane picked out of
// the blended row by a two-register permute instead of copied out pixel by pixel.
// For reductions up to about 1.7 times, where every group's lanes lie within 32
// sums; stronger ones pick pixel by pixel.
struct TPermutePlan {
    std::vector<uint32_t> Base; // per group: the first sum it reads
    std::vector<int32_t> L, R;  // per lane: its two sums, from Base
    bool Fits = true;           // every group's sums lie within 32 of its base
};

TPermutePlan PlanPermutes(const std::vector<uint32_t>& p0, const std::vector<uint32_t>& p1,
                          size_t n) {
    TPermutePlan plan;
    const size_t lanes = 3 * n, groups = (lanes + 15) / 16;
    plan.Base.resize(groups);
    plan.L.assign(groups * 16, 0);
    plan.R.assign(groups * 16, 0);
    for (size_t g = 0; g < groups; ++g) {
        const size_t end = std::min(lanes, 16 * g + 16);
        uint32_t lo = UINT32_MAX, hi = 0;
        for (size_t i = 16 * g; i < end; ++i) {
            lo = std::min(lo, p0[i / 3] + static_cast<uint32_t>(i % 3));
            hi = std::max(hi, p1[i / 3] + static_cast<uint32_t>(i % 3));
        }
        plan.Base[g] = lo;
        if (hi - lo >= 32) {
            plan.Fits = false;
            return plan;
        }
        for (size_t i = 16 * g; i < end; ++i) {
            plan.L[i] = static_cast<int32_t>(p0[i / 3] + i % 3 - lo);
            plan.R[i] = static_cast<int32_t>(p1[i / 3] + i % 3 - lo);
        }
    }
    return plan;
}

// down must hold 32 readable sums past every group's base. GCC 12 takes the
// intrinsics' own undefined vectors for uninitialised reads.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
[[gnu::target("avx512f,avx512bw,avx512vl")]] void
CombinePermuted(uint8_t* out, const uint32_t* down, const TPermutePlan& plan, const uint32_t* wa,
                const uint32_t* wb, size_t lanes, uint32_t half, uint64_t magic, uint32_t shift) {
    const __m512i vhalf = _mm512_set1_epi32(static_cast<int>(half));
    const __m512i vmagic = _mm512_set1_epi64(static_cast<long long>(magic));
    const __m128i vshift = _mm_cvtsi32_si128(static_cast<int>(shift));
    for (size_t g = 0, i = 0; i < lanes; ++g, i += 16) {
        const size_t count = std::min<size_t>(16, lanes - i);
        const __mmask16 mask = static_cast<__mmask16>((1u << count) - 1);
        const uint32_t* at = down + plan.Base[g];
        const __m512i a = _mm512_loadu_si512(at), b = _mm512_loadu_si512(at + 16);
        const __m512i l = _mm512_permutex2var_epi32(a, _mm512_loadu_si512(&plan.L[i]), b);
        const __m512i r = _mm512_permutex2var_epi32(a, _mm512_loadu_si512(&plan.R[i]), b);
        const __m512i v = _mm512_add_epi32(
            _mm512_add_epi32(_mm512_mullo_epi32(_mm512_maskz_loadu_epi32(mask, wa + i), l),
                             _mm512_mullo_epi32(_mm512_maskz_loadu_epi32(mask, wb + i), r)),
            vhalf);
        const __m512i even = _mm512_srl_epi64(_mm512_mul_epu32(v, vmagic), vshift);
        const __m512i odd =
            _mm512_srl_epi64(_mm512_mul_epu32(_mm512_srli_epi64(v, 32), vmagic), vshift);
        const __m512i q = _mm512_or_si512(even, _mm512_slli_epi64(odd, 32));
        _mm_mask_storeu_epi8(out + i, mask, _mm512_cvtepi32_epi8(q));
    }
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

// The two pixels of each destination column, side by side: four values a copy,
// the fourth overwritten by the next column (the arrays have one spare).
void Pick(uint32_t* l, uint32_t* r, const uint32_t* down, const uint32_t* p0, const uint32_t* p1,
          size_t n) {
    for (size_t j = 0; j < n; ++j) {
        std::memcpy(l + 3 * j, down + p0[j], 16);
        std::memcpy(r + 3 * j, down + p1[j], 16);
    }
}

#if defined(__x86_64__)
[[gnu::target("ssse3")]] void ExpandRowSsse3(uint32_t* out, const uint8_t* in, int32_t n) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int32_t i = 0;
    // Each step reads 16 bytes and uses 12: only while the row still has them.
    for (; i + 6 <= n; i += 4, in += 12) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_or_si128(_mm_shuffle_epi8(v, spread), alpha));
    }
    ExpandRowPlain(out + i, in, n - i);
}
#endif

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

void ExpandRowPlain(uint32_t* out, const uint8_t* in, int32_t n) {
    for (int32_t i = 0; i < n; ++i, in += 3)
        out[i] = 0xFF000000u | uint32_t{in[2]} << 16 | uint32_t{in[1]} << 8 | in[0];
}

void ExpandRow(uint32_t* out, const uint8_t* in, int32_t n) {
#if defined(__x86_64__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) return ExpandRowSsse3(out, in, n);
#endif
    ExpandRowPlain(out, in, n);
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

    // Per column: its two source pixels, as offsets from the first byte read,
    // and their weights.
    const size_t n = static_cast<size_t>(k1 - k0);
    // Per column: the first byte of its two source pixels, from the first byte
    // read; per destination byte: the two weights.
    std::vector<uint32_t> p0(n), p1(n), wa(3 * n), wb(3 * n);
    uint32_t lo = UINT32_MAX, hi = 0;
    for (size_t j = 0; j < n; ++j) {
        const uint32_t k = static_cast<uint32_t>(k0) + static_cast<uint32_t>(j);
        const uint32_t c = k * sR / dR, r2 = k * sR % dR;
        p0[j] = 3 * static_cast<uint32_t>(Clamp(int64_t{s.Left} + c, src.Width - 1));
        p1[j] =
            r2 ? 3 * static_cast<uint32_t>(Clamp(int64_t{s.Left} + c + 1, src.Width - 1)) : p0[j];
        for (size_t ch = 0; ch < 3; ++ch) {
            wa[3 * j + ch] = dR - r2;
            wb[3 * j + ch] = r2;
        }
        lo = std::min(lo, p0[j]);
        hi = std::max(hi, p1[j] + 3);
    }
    for (size_t j = 0; j < n; ++j) {
        p0[j] -= lo;
        p1[j] -= lo;
    }
    // The two source rows blended down first: the same sums, grouped the other way.
    // 32 spare sums: a permuted group loads that far past its base.
    std::vector<uint32_t> down(hi - lo + 33), l(3 * n + 1), r(3 * n + 1);
#if defined(__x86_64__)
    static const bool avx512 = __builtin_cpu_supports("avx512f") &&
                               __builtin_cpu_supports("avx512bw") &&
                               __builtin_cpu_supports("avx512vl");
    const TPermutePlan plan = avx512 ? PlanPermutes(p0, p1, n) : TPermutePlan{};
    const bool permute = avx512 && plan.Fits;
#endif
    for (int32_t y = y0; y < y1; ++y) {
        const uint32_t uy = static_cast<uint32_t>(y);
        const uint32_t q = uy * sB / dB, rem = uy * sB % dB;
        const uint32_t wy = dB - rem, wy2 = dB - wy;
        const int32_t qa = Clamp(q, src.Height - 1);
        const int32_t qb = rem ? Clamp(int64_t{q} + 1, src.Height - 1) : qa;
        Down(down.data(), src.Bits + static_cast<size_t>(qa) * src.Stride + lo,
             src.Bits + static_cast<size_t>(qb) * src.Stride + lo, hi - lo, wy, wy2);
        uint8_t* out = dst.Bits + static_cast<size_t>(y) * dst.Stride + size_t{3} * (d.Left + k0);
#if defined(__x86_64__)
        if (permute) {
            CombinePermuted(out, down.data(), plan, wa.data(), wb.data(), 3 * n, half, divide.Magic,
                            divide.Shift);
            continue;
        }
#endif
        Pick(l.data(), r.data(), down.data(), p0.data(), p1.data(), n);
        Combine(out, l.data(), r.data(), wa.data(), wb.data(), 3 * n, half, divide.Magic,
                divide.Shift);
    }
}

} // namespace kiv
