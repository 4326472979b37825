#include "platform/dib_reader.h"

#include "platform/byte_order.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kiv {

namespace {

constexpr size_t kFileHeaderSize = 14;

bool KnownHeaderSize(uint32_t size) {
    switch (size) {
    case 12:  // OS/2 1.x core header
    case 16:  // OS/2 2.x, shortened
    case 40:  // BITMAPINFOHEADER
    case 52:  // with colour masks
    case 56:  // with colour and alpha masks
    case 64:  // OS/2 2.x
    case 108: // BITMAPV4HEADER
    case 124: // BITMAPV5HEADER
        return true;
    default:
        return false;
    }
}

bool IsOs2v2(uint32_t headerSize) {
    return headerSize == 16 || headerSize == 64;
}

TDibResult Fail(TDibError error, const char* text) {
    return TDibResult{error, text};
}

// Pictures of at least this many 16-bit pixels convert through a table of every pixel value:
// one load per pixel instead of three, worth building the table once for the masks.
constexpr int64_t kTable16MinPixels = 64 * 1024;

#if defined(__x86_64__)
// Eight 5-6-5 or 5-5-5 pixels a step, widened with the channel tables' rounding
// (v * 255 / max, rounded, as a multiply and a shift). Returns the pixels done.
[[gnu::target("ssse3")]] size_t Widen16Ssse3(const uint8_t* in, size_t n, uint8_t* out,
                                             bool green6) {
    const __m128i five = _mm_set1_epi16(0x1F), six = _mm_set1_epi16(0x3F);
    auto widen5 = [&](__m128i v) {
        return _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(v, _mm_set1_epi16(527)), _mm_set1_epi16(23)), 6);
    };
    auto widen6 = [&](__m128i v) {
        return _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(v, _mm_set1_epi16(259)), _mm_set1_epi16(33)), 6);
    };
    // Bytes of blue (0-7) and green (8-15), and of red (0-7), into eight
    // blue-green-red triples: the first sixteen bytes, then the last eight.
    const __m128i bgLo = _mm_setr_epi8(0, 8, -1, 1, 9, -1, 2, 10, -1, 3, 11, -1, 4, 12, -1, 5);
    const __m128i rLo = _mm_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1);
    const __m128i bgHi =
        _mm_setr_epi8(13, -1, 6, 14, -1, 7, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i rHi = _mm_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1);
    size_t i = 0;
    for (; i + 8 <= n; i += 8, in += 16, out += 24) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i b = widen5(_mm_and_si128(v, five));
        const __m128i g = green6 ? widen6(_mm_and_si128(_mm_srli_epi16(v, 5), six))
                                 : widen5(_mm_and_si128(_mm_srli_epi16(v, 5), five));
        const __m128i r = widen5(_mm_and_si128(_mm_srli_epi16(v, green6 ? 11 : 10), five));
        const __m128i bg = _mm_packus_epi16(b, g), rr = _mm_packus_epi16(r, r);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_or_si128(_mm_shuffle_epi8(bg, bgLo), _mm_shuffle_epi8(rr, rLo)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16),
                         _mm_or_si128(_mm_shuffle_epi8(bg, bgHi), _mm_shuffle_epi8(rr, rHi)));
    }
    return i;
}
#endif

// The tables of the last few masks seen; a recording uses one or two for its whole length.
class TTable16Cache {
public:
    using TMasks = std::array<uint32_t, 3>;
    TPixelTable16 Find(const TMasks& masks) {
        std::lock_guard guard(FLock);
        for (auto it = FEntries.begin(); it != FEntries.end(); ++it)
            if (it->Table && it->Masks == masks) {
                std::rotate(FEntries.begin(), it, it + 1);
                return FEntries.front().Table;
            }
        return nullptr;
    }
    void Add(const TMasks& masks, TPixelTable16 table) {
        std::lock_guard guard(FLock);
        std::rotate(FEntries.begin(), FEntries.end() - 1, FEntries.end());
        FEntries.front() = TEntry{masks, std::move(table)};
    }

private:
    struct TEntry {
        TMasks Masks{};
        TPixelTable16 Table;
    };
    std::mutex FLock;
    std::array<TEntry, 4> FEntries; // guarded by FLock; the most recently used first
};

TTable16Cache& Table16Cache() {
    static TTable16Cache cache;
    return cache;
}

} // namespace

TDibResult ReadDibInfo(const uint8_t* data, size_t size, TDibInfo& info) {
    info = TDibInfo{};
    if (data == nullptr || size < 4) return Fail(TDibError::Truncated, "image too short");
    uint64_t infoOffset = 0;
    if (data[0] == 'B' && data[1] == 'M') {
        if (size < kFileHeaderSize + 4) return Fail(TDibError::Truncated, "image too short");
        info.FileHeader = true;
        info.BitsOffset = LoadLE32(data + 10);
        infoOffset = kFileHeaderSize;
    } else if (data[0] == 'B' && data[1] == 'A') {
        return Fail(TDibError::Unsupported, "bitmap arrays are not supported");
    }
    const uint8_t* h = data + infoOffset;
    info.HeaderSize = LoadLE32(h);
    if (!KnownHeaderSize(info.HeaderSize))
        return Fail(TDibError::BadHeader, "not a bitmap: unknown info header size");
    if (infoOffset + info.HeaderSize > size)
        return Fail(TDibError::Truncated, "info header runs past the end of the image");
    if (info.HeaderSize == 12) {
        info.Width = LoadLE16(h + 4);
        info.Height = LoadLE16(h + 6);
        info.Planes = LoadLE16(h + 8);
        info.BitCount = LoadLE16(h + 10);
    } else {
        info.Width = static_cast<int32_t>(LoadLE32(h + 4));
        info.Height = static_cast<int32_t>(LoadLE32(h + 8));
        info.Planes = LoadLE16(h + 12);
        info.BitCount = LoadLE16(h + 14);
        if (info.HeaderSize >= 40) {
            info.Compression = LoadLE32(h + 16);
            info.ColorsUsed = LoadLE32(h + 32);
        }
    }
    if (!info.FileHeader) {
        // A packed DIB: the bits follow the masks and the colour table directly.
        uint64_t end = info.HeaderSize;
        if (info.HeaderSize == 40 && info.Compression == biBitFields) end += 12;
        if (info.HeaderSize == 40 && info.Compression == biAlphaBitFields) end += 16;
        uint64_t colors = info.ColorsUsed;
        if (colors == 0 && info.BitCount <= 8) colors = uint64_t{1} << info.BitCount;
        end += colors * (info.HeaderSize == 12 ? 3 : 4);
        info.BitsOffset = end;
    }
    return {};
}

uint8_t TDibImage::TChannel::Scale(uint32_t pixel) const {
    if (Bits == 0) return 0;
    const uint32_t v = (pixel >> Shift) & Max;
    if (Bits <= 8) return Table[v];
    // Rounded v * 255 / Max; Max is odd, so there is never a tie.
    return static_cast<uint8_t>((uint64_t{v} * 255 + Max / 2) / Max);
}

TDibResult TDibImage::ReadMasks(uint64_t& tableStart) {
    const uint64_t headerEnd = FInfo.InfoOffset() + FInfo.HeaderSize;
    tableStart = headerEnd;
    std::array<uint32_t, 3> masks{}; // blue, green, red
    const bool bitFields =
        FInfo.Compression == biBitFields || FInfo.Compression == biAlphaBitFields;
    if (!bitFields) {
        if (FInfo.BitCount == 16) masks = {0x001F, 0x03E0, 0x7C00};
        if (FInfo.BitCount == 32) masks = {0x0000FF, 0x00FF00, 0xFF0000};
    } else {
        uint64_t at = FInfo.InfoOffset() + 40;
        if (FInfo.HeaderSize == 40) {
            tableStart += FInfo.Compression == biAlphaBitFields ? 16 : 12;
            if (tableStart > FSize)
                return Fail(TDibError::Truncated, "colour masks run past the end of the image");
            if (FInfo.FileHeader && FInfo.BitsOffset < tableStart)
                return Fail(TDibError::BadHeader, "bits start inside the colour masks");
        }
        masks = {LoadLE32(FData + at + 8), LoadLE32(FData + at + 4), LoadLE32(FData + at)};
    }
    for (size_t c = 0; c < 3; ++c) {
        TChannel& ch = FChannels[c];
        ch = TChannel{};
        const uint32_t m = masks[c];
        if (m == 0) continue;
        ch.Shift = static_cast<uint32_t>(std::countr_zero(m));
        const uint32_t field = m >> ch.Shift;
        if ((field & (field + 1)) != 0)
            return Fail(TDibError::BadHeader, "colour mask bits are not contiguous");
        ch.Bits = static_cast<uint32_t>(std::popcount(field));
        ch.Max = field;
        if (ch.Bits <= 8)
            for (uint32_t v = 0; v <= field; ++v)
                ch.Table[v] = static_cast<uint8_t>((v * 255 + field / 2) / field);
    }
    FNarrow = std::all_of(FChannels.begin(), FChannels.end(),
                          [](const TChannel& ch) { return ch.Bits <= 8; });
    FPlain32 = FInfo.BitCount == 32 && masks[0] == 0x0000FF && masks[1] == 0x00FF00 &&
               masks[2] == 0xFF0000;
    FLayout16 = T16Layout::Other;
    if (FInfo.BitCount == 16 && masks[0] == 0x001F && masks[2] == 0x7C00 && masks[1] == 0x03E0)
        FLayout16 = T16Layout::Rgb555;
    if (FInfo.BitCount == 16 && masks[0] == 0x001F && masks[2] == 0xF800 && masks[1] == 0x07E0)
        FLayout16 = T16Layout::Rgb565;
    return {};
}

TDibResult TDibImage::Open(const uint8_t* data, size_t size) {
    FData = nullptr;
    FSize = 0;
    TDibInfo info;
    if (TDibResult r = ReadDibInfo(data, size, info); !r) return r;
    FInfo = info;

    if (info.Planes != 1) return Fail(TDibError::BadHeader, "planes is not 1");
    if (info.Width <= 0 || info.Height == 0)
        return Fail(TDibError::BadHeader, "width or height is not positive");
    const int64_t width = info.Width, height = info.AbsHeight();
    if (width > kMaxBitmapSide || height > kMaxBitmapSide || width * height > kMaxBitmapPixels)
        return Fail(TDibError::TooLarge, "picture larger than the player's limits");

    const uint32_t bpp = info.BitCount;
    if (IsOs2v2(info.HeaderSize) && info.Compression == 3)
        return Fail(TDibError::Unsupported, "Huffman compression is not supported");
    if (IsOs2v2(info.HeaderSize) && info.Compression == 4)
        return Fail(TDibError::Unsupported, "24-bit RLE is not supported");
    switch (info.Compression) {
    case biRGB:
        if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            return Fail(bpp == 0 || bpp == 64 ? TDibError::Unsupported : TDibError::BadHeader,
                        "unsupported bit count");
        break;
    case biRLE8:
    case biRLE4:
        if (bpp != (info.Compression == biRLE8 ? 8u : 4u))
            return Fail(TDibError::BadHeader, "RLE bit count mismatch");
        if (info.TopDown()) return Fail(TDibError::BadHeader, "RLE bitmaps cannot be top-down");
        break;
    case biBitFields:
    case biAlphaBitFields:
        if (bpp != 16 && bpp != 32)
            return Fail(TDibError::BadHeader, "bit fields need 16 or 32 bits per pixel");
        break;
    case biJPEG:
    case biPNG:
        return Fail(TDibError::Unsupported, "embedded JPEG or PNG is not supported");
    default:
        return Fail(TDibError::BadHeader, "unknown compression");
    }

    FData = data;
    FSize = size;
    uint64_t tableStart = 0;
    if (TDibResult r = ReadMasks(tableStart); !r) {
        FData = nullptr;
        return r;
    }
    auto refuse = [this](TDibError error, const char* text) {
        FData = nullptr;
        FSize = 0;
        return Fail(error, text);
    };
    if (info.BitsOffset < tableStart)
        return refuse(TDibError::BadHeader, "bits start inside the headers");
    if (info.BitsOffset > size) return refuse(TDibError::Truncated, "bits start past the end");

    FPalette.fill(0);
    if (bpp <= 8) {
        // The table ends where the bits start: OS/2 files give no count but their offset.
        const uint64_t entry = info.HeaderSize == 12 ? 3 : 4;
        const uint64_t nominal = info.ColorsUsed ? info.ColorsUsed : uint64_t{1} << bpp;
        const uint64_t count =
            std::min({nominal, uint64_t{256}, (info.BitsOffset - tableStart) / entry});
        for (uint64_t i = 0; i < count; ++i) {
            const uint8_t* p = data + tableStart + i * entry;
            std::memcpy(&FPalette[i * 3], p, 3);
        }
    }

    FStride = ((width * bpp + 31) / 32) * 4;
    if (info.Compression == biRGB || info.Compression == biBitFields ||
        info.Compression == biAlphaBitFields) {
        // The last row may lack its padding.
        const uint64_t need = FStride * (height - 1) + (width * bpp + 7) / 8;
        if (need > size - info.BitsOffset)
            return refuse(TDibError::Truncated, "bits run past the end of the image");
    }
    return {};
}

const uint8_t* TDibImage::StoredRow(int32_t y) const {
    const uint64_t stored = FInfo.TopDown() ? y : FInfo.AbsHeight() - 1 - y;
    return FData + FInfo.BitsOffset + stored * FStride;
}

TPixelTable16 TDibImage::Table16() const {
    const TTable16Cache::TMasks masks{FChannels[0].Max << FChannels[0].Shift,
                                      FChannels[1].Max << FChannels[1].Shift,
                                      FChannels[2].Max << FChannels[2].Shift};
    if (TPixelTable16 table = Table16Cache().Find(masks)) return table;
    auto table = std::make_shared<std::array<uint32_t, 65536>>();
    for (uint32_t v = 0; v < table->size(); ++v) {
        uint8_t pixel[2], bgr[4] = {};
        StoreLE16(pixel, static_cast<uint16_t>(v));
        ConvertMasked(pixel, 1, bgr);
        (*table)[v] = LoadLE32(bgr);
    }
    Table16Cache().Add(masks, table);
    return table;
}

void TDibImage::ConvertRow(int32_t y, int32_t x, int32_t count, uint8_t* out,
                           const uint32_t* table16) const {
    const uint8_t* row = StoredRow(y);
    const size_t n = static_cast<size_t>(count);
    const size_t first = static_cast<size_t>(x);
    switch (FInfo.BitCount) {
    case 32:
        if (FPlain32) {
            const uint8_t* s = row + first * 4;
            size_t i = 0;
            // Four bytes at a time; each fourth byte is overwritten by the next pixel.
            for (; i + 1 < n; ++i, s += 4, out += 3)
                std::memcpy(out, s, 4);
            if (i < n) std::memcpy(out, s, 3);
        } else {
            ConvertMasked(row + first * 4, n, out);
        }
        break;
    case 24:
        std::memcpy(out, row + first * 3, n * 3);
        break;
    case 16:
#if defined(__x86_64__)
        if (FLayout16 != T16Layout::Other) {
            static const bool ssse3 = __builtin_cpu_supports("ssse3");
            if (ssse3) {
                const size_t done =
                    Widen16Ssse3(row + first * 2, n, out, FLayout16 == T16Layout::Rgb565);
                ConvertMasked(row + (first + done) * 2, n - done, out + done * 3);
                break;
            }
        }
#endif
        if (table16) {
            const uint8_t* s = row + first * 2;
            size_t i = 0;
            // Four bytes at a time, as for 32 bits.
            for (; i + 1 < n; ++i, s += 2, out += 3)
                StoreLE32(out, table16[LoadLE16(s)]);
            if (i < n) {
                uint8_t last[4];
                StoreLE32(last, table16[LoadLE16(s)]);
                std::memcpy(out, last, 3);
            }
        } else {
            ConvertMasked(row + first * 2, n, out);
        }
        break;
    case 8:
        for (size_t i = 0; i < n; ++i, out += 3)
            std::memcpy(out, &FPalette[row[first + i] * 3u], 3);
        break;
    default: {
        const unsigned bpp = FInfo.BitCount;
        const unsigned mask = (1u << bpp) - 1;
        for (size_t i = 0; i < n; ++i, out += 3) {
            const size_t bit = (first + i) * bpp;
            const unsigned index = (row[bit >> 3] >> (8 - bpp - (bit & 7))) & mask;
            std::memcpy(out, &FPalette[index * 3], 3);
        }
        break;
    }
    }
}

void TDibImage::ConvertMasked(const uint8_t* src, size_t count, uint8_t* out) const {
    const TChannel &b = FChannels[0], &g = FChannels[1], &r = FChannels[2];
    auto convert = [&](auto load, size_t step) {
        if (FNarrow) {
            // Absent channels have Max 0 and Table[0] 0, so no test is needed per pixel.
            for (size_t i = 0; i < count; ++i, src += step, out += 3) {
                const uint32_t v = load(src);
                out[0] = b.Table[(v >> b.Shift) & b.Max];
                out[1] = g.Table[(v >> g.Shift) & g.Max];
                out[2] = r.Table[(v >> r.Shift) & r.Max];
            }
        } else {
            for (size_t i = 0; i < count; ++i, src += step, out += 3) {
                const uint32_t v = load(src);
                out[0] = b.Scale(v);
                out[1] = g.Scale(v);
                out[2] = r.Scale(v);
            }
        }
    };
    if (FInfo.BitCount == 16)
        convert([](const uint8_t* p) { return uint32_t{LoadLE16(p)}; }, 2);
    else
        convert([](const uint8_t* p) { return LoadLE32(p); }, 4);
}

// Collects RLE output one row at a time and draws each finished row into the destination.
struct TDibImage::TRowSink {
    TBitmap24& Dst;
    TBlitSpan Span;
    TBlitMode Mode;
    TColorRef Key;
    std::vector<uint8_t> Row; // the clipped columns of the current row; black = skipped
    bool Visible = false;     // the current row is inside the span
    bool Dirty = false;

    // Whether drawing a black row changes anything.
    bool BlackDraws() const {
        return Mode == TBlitMode::Copy || (Mode == TBlitMode::Transparent && (Key & 0xFFFFFF) != 0);
    }
    void Begin(int64_t y) { Visible = y >= Span.SrcY && y < int64_t{Span.SrcY} + Span.Height; }
    void Put(int64_t x, const uint8_t* bgr) {
        if (!Visible || x < Span.SrcX || x >= int64_t{Span.SrcX} + Span.Width) return;
        std::memcpy(&Row[static_cast<size_t>(x - Span.SrcX) * 3], bgr, 3);
        Dirty = true;
    }
    // Finishes row y (visible or not) and clears the row buffer.
    void End(int64_t y) {
        if (Visible && (Dirty || BlackDraws())) {
            const int32_t dy = Span.DstY + static_cast<int32_t>(y - Span.SrcY);
            BlitRow(Dst.Row(dy) + static_cast<size_t>(Span.DstX) * 3, Row.data(),
                    static_cast<size_t>(Span.Width), Mode, Key);
        }
        if (Dirty) std::fill(Row.begin(), Row.end(), uint8_t{0});
        Dirty = false;
        Visible = false;
    }
};

void TDibImage::DecodeRle(TRowSink& sink) const {
    const bool rle8 = FInfo.Compression == biRLE8;
    const int64_t width = FInfo.Width, height = FInfo.AbsHeight();
    const uint8_t* d = FData;
    size_t pos = static_cast<size_t>(FInfo.BitsOffset);
    const size_t end = FSize;

    // Rows are stored bottom first; `line` counts stored rows, y = height - 1 - line.
    int64_t line = 0, x = 0;
    sink.Begin(height - 1);
    auto moveTo = [&](int64_t newLine) {
        newLine = std::min(newLine, height);
        for (; line < newLine; ++line) {
            sink.End(height - 1 - line);
            if (line + 1 < height) sink.Begin(height - 2 - line);
        }
    };
    auto put = [&](unsigned index) {
        if (x < width) sink.Put(x, &FPalette[index * 3]);
        ++x;
    };

    while (line < height && end - pos >= 2) {
        const uint8_t count = d[pos], code = d[pos + 1];
        pos += 2;
        if (count > 0) {
            if (x >= width) {
                x += count; // excess pixels are dropped
                continue;
            }
            for (unsigned i = 0; i < count; ++i)
                put(rle8 ? code : (i & 1 ? code & 0x0F : code >> 4));
        } else if (code == 0) {
            moveTo(line + 1);
            x = 0;
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            if (end - pos < 2) break;
            x += d[pos];
            const uint8_t dy = d[pos + 1];
            pos += 2;
            if (dy > 0) moveTo(line + dy);
        } else {
            const size_t bytes = rle8 ? code : (code + 1u) / 2;
            const size_t available = std::min(bytes, end - pos);
            for (unsigned i = 0; i < code; ++i) {
                const size_t at = rle8 ? i : i / 2;
                if (at >= available) break;
                const uint8_t b = d[pos + at];
                put(rle8 ? b : (i & 1 ? b & 0x0F : b >> 4));
            }
            if (available < bytes) break;
            pos += std::min((bytes + 1) & ~size_t{1}, end - pos); // runs keep 16-bit alignment
        }
    }
    moveTo(height); // the rest of the picture stays black
}

void TDibImage::Blit(TBitmap24& dst, int32_t x, int32_t y, const TRect& srcRect, TBlitMode mode,
                     TColorRef key) const {
    if (!FData) return;
    TBlitSpan s;
    if (!ClipBlit(dst.Width(), dst.Height(), x, y, Width(), Height(), srcRect, s)) return;
    const size_t pixels = static_cast<size_t>(s.Width);

    if (FInfo.Compression == biRLE8 || FInfo.Compression == biRLE4) {
        TRowSink sink{dst, s, mode, key, std::vector<uint8_t>(pixels * 3, 0)};
        DecodeRle(sink);
        return;
    }
    if (FInfo.BitCount == 24) {
        // The common case: the stored rows are already in the picture's format.
        for (int32_t row = 0; row < s.Height; ++row)
            BlitRow(dst.Row(s.DstY + row) + static_cast<size_t>(s.DstX) * 3,
                    StoredRow(s.SrcY + row) + static_cast<size_t>(s.SrcX) * 3, pixels, mode, key);
        return;
    }
    TPixelTable16 table16;
    if (FInfo.BitCount == 16 && FLayout16 == T16Layout::Other &&
        int64_t{s.Width} * s.Height >= kTable16MinPixels)
        table16 = Table16();
    const uint32_t* table = table16 ? table16->data() : nullptr;
    std::vector<uint8_t> scratch(mode == TBlitMode::Copy ? 0 : pixels * 3);
    for (int32_t row = 0; row < s.Height; ++row) {
        uint8_t* out = dst.Row(s.DstY + row) + static_cast<size_t>(s.DstX) * 3;
        if (mode == TBlitMode::Copy) {
            ConvertRow(s.SrcY + row, s.SrcX, s.Width, out, table);
        } else {
            ConvertRow(s.SrcY + row, s.SrcX, s.Width, scratch.data(), table);
            BlitRow(out, scratch.data(), pixels, mode, key);
        }
    }
}

TDibResult TDibImage::Decode(TBitmap24& out) const {
    if (!FData) return Fail(TDibError::BadHeader, "no image open");
    if (!out.Create(Width(), Height()))
        return Fail(TDibError::TooLarge, "picture larger than the player's limits");
    Blit(out, 0, 0, TBlitMode::Copy);
    return {};
}

TDibResult DecodeDib(const uint8_t* data, size_t size, TBitmap24& out) {
    TDibImage image;
    if (TDibResult r = image.Open(data, size); !r) return r;
    return image.Decode(out);
}

TDibResult BlitDib(const uint8_t* data, size_t size, TBitmap24& dst, int32_t x, int32_t y,
                   TBlitMode mode, TColorRef key) {
    TDibImage image;
    if (TDibResult r = image.Open(data, size); !r) return r;
    image.Blit(dst, x, y, mode, key);
    return {};
}

} // namespace kiv
