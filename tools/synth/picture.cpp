#include "synth/picture.h"

#include <array>
#include <cstring>

namespace kiv::synth {
namespace {

// Rows top to bottom, '#' set; rows 0-6 above the base line, 7-8 descenders.
// Printable ASCII in order from the space.
constexpr const char* kGlyphs[95] = {
    "",                                                      // space
    "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..",             // !
    ".#.#. .#.#. .#.#.",                                     // "
    ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#.",             // #
    "..#.. .#### #.#.. .###. ..#.# ####. ..#..",             // $
    "##... ##..# ...#. ..#.. .#... #..## ...##",             // %
    ".##.. #..#. #.#.. .#... #.#.# #..#. .##.#",             // &
    "..#.. ..#.. .#...",                                     // '
    "...#. ..#.. .#... .#... .#... ..#.. ...#.",             // (
    ".#... ..#.. ...#. ...#. ...#. ..#.. .#...",             // )
    "..... ..#.. #.#.# .###. #.#.# ..#.. .....",             // *
    "..... ..#.. ..#.. ##### ..#.. ..#.. .....",             // +
    "..... ..... ..... ..... ..... .##.. ..#.. .#...",       // ,
    "..... ..... ..... ##### ..... ..... .....",             // -
    "..... ..... ..... ..... ..... .##.. .##..",             // .
    "..... ....# ...#. ..#.. .#... #.... .....",             // /
    ".###. #...# #..## #.#.# ##..# #...# .###.",             // 0
    "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",             // 1
    ".###. #...# ....# ...#. ..#.. .#... #####",             // 2
    "##### ...#. ..#.. ...#. ....# #...# .###.",             // 3
    "...#. ..##. .#.#. #..#. ##### ...#. ...#.",             // 4
    "##### #.... ####. ....# ....# #...# .###.",             // 5
    "..##. .#... #.... ####. #...# #...# .###.",             // 6
    "##### ....# ...#. ..#.. .#... .#... .#...",             // 7
    ".###. #...# #...# .###. #...# #...# .###.",             // 8
    ".###. #...# #...# .#### ....# ...#. .##..",             // 9
    "..... .##.. .##.. ..... .##.. .##.. .....",             // :
    "..... .##.. .##.. ..... .##.. ..#.. .#...",             // ;
    "...#. ..#.. .#... #.... .#... ..#.. ...#.",             // <
    "..... ..... ##### ..... ##### ..... .....",             // =
    ".#... ..#.. ...#. ....# ...#. ..#.. .#...",             // >
    ".###. #...# ....# ...#. ..#.. ..... ..#..",             // ?
    ".###. #...# ....# .##.# #.#.# #.#.# .###.",             // @
    ".###. #...# #...# ##### #...# #...# #...#",             // A
    "####. #...# #...# ####. #...# #...# ####.",             // B
    ".###. #...# #.... #.... #.... #...# .###.",             // C
    "###.. #..#. #...# #...# #...# #..#. ###..",             // D
    "##### #.... #.... ####. #.... #.... #####",             // E
    "##### #.... #.... ####. #.... #.... #....",             // F
    ".###. #...# #.... #.### #...# #...# .####",             // G
    "#...# #...# #...# ##### #...# #...# #...#",             // H
    ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",             // I
    "..### ...#. ...#. ...#. ...#. #..#. .##..",             // J
    "#...# #..#. #.#.. ##... #.#.. #..#. #...#",             // K
    "#.... #.... #.... #.... #.... #.... #####",             // L
    "#...# ##.## #.#.# #.#.# #...# #...# #...#",             // M
    "#...# #...# ##..# #.#.# #..## #...# #...#",             // N
    ".###. #...# #...# #...# #...# #...# .###.",             // O
    "####. #...# #...# ####. #.... #.... #....",             // P
    ".###. #...# #...# #...# #.#.# #..#. .##.#",             // Q
    "####. #...# #...# ####. #.#.. #..#. #...#",             // R
    ".#### #.... #.... .###. ....# ....# ####.",             // S
    "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",             // T
    "#...# #...# #...# #...# #...# #...# .###.",             // U
    "#...# #...# #...# #...# #...# .#.#. ..#..",             // V
    "#...# #...# #...# #.#.# #.#.# #.#.# .#.#.",             // W
    "#...# #...# .#.#. ..#.. .#.#. #...# #...#",             // X
    "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#..",             // Y
    "##### ....# ...#. ..#.. .#... #.... #####",             // Z
    ".###. .#... .#... .#... .#... .#... .###.",             // [
    "..... #.... .#... ..#.. ...#. ....# .....",             // backslash
    ".###. ...#. ...#. ...#. ...#. ...#. .###.",             // ]
    "..#.. .#.#. #...#",                                     // ^
    "..... ..... ..... ..... ..... ..... ..... #####",       // _
    ".#... ..#.. ...#.",                                     // `
    "..... ..... .###. ....# .#### #...# .####",             // a
    "#.... #.... #.##. ##..# #...# #...# ####.",             // b
    "..... ..... .###. #.... #.... #...# .###.",             // c
    "....# ....# .##.# #..## #...# #...# .####",             // d
    "..... ..... .###. #...# ##### #.... .###.",             // e
    "..##. .#..# .#... ###.. .#... .#... .#...",             // f
    "..... ..... .#### #...# #...# #...# .#### ....# .###.", // g
    "#.... #.... #.##. ##..# #...# #...# #...#",             // h
    "..#.. ..... .##.. ..#.. ..#.. ..#.. .###.",             // i
    "...#. ..... ..##. ...#. ...#. ...#. ...#. #..#. .##..", // j
    "#.... #.... #..#. #.#.. ##... #.#.. #..#.",             // k
    ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",             // l
    "..... ..... ##.#. #.#.# #.#.# #.#.# #.#.#",             // m
    "..... ..... #.##. ##..# #...# #...# #...#",             // n
    "..... ..... .###. #...# #...# #...# .###.",             // o
    "..... ..... ####. #...# #...# #...# ####. #.... #....", // p
    "..... ..... .#### #...# #...# #...# .#### ....# ....#", // q
    "..... ..... #.##. ##..# #.... #.... #....",             // r
    "..... ..... .#### #.... .###. ....# ####.",             // s
    ".#... .#... ###.. .#... .#... .#..# ..##.",             // t
    "..... ..... #...# #...# #...# #..## .##.#",             // u
    "..... ..... #...# #...# #...# .#.#. ..#..",             // v
    "..... ..... #...# #...# #.#.# #.#.# .#.#.",             // w
    "..... ..... #...# .#.#. ..#.. .#.#. #...#",             // x
    "..... ..... #...# #...# #...# #...# .#### ....# .###.", // y
    "..... ..... ##### ...#. ..#.. .#... #####",             // z
    "...#. ..#.. ..#.. .#... ..#.. ..#.. ...#.",             // {
    "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",             // |
    ".#... ..#.. ..#.. ...#. ..#.. ..#.. .#...",             // }
    "..... ..... .#... #.#.# ...#. ..... .....",             // ~
};

constexpr int kGlyphRows = 9;
using TGlyph = std::array<uint8_t, kGlyphRows>; // bit 4 is the leftmost column

std::array<TGlyph, 95> ParseGlyphs() {
    std::array<TGlyph, 95> out{};
    for (size_t g = 0; g < out.size(); ++g) {
        int row = 0, col = 0;
        for (const char* p = kGlyphs[g]; *p && row < kGlyphRows; ++p) {
            if (*p == ' ') {
                ++row;
                col = 0;
                continue;
            }
            if (*p == '#' && col < 5) out[g][size_t(row)] |= uint8_t(0x10 >> col);
            ++col;
        }
    }
    return out;
}

const TGlyph& Glyph(char ch) {
    static const std::array<TGlyph, 95> glyphs = ParseGlyphs();
    auto c = static_cast<unsigned char>(ch);
    if (c < 32 || c > 126) c = '?';
    return glyphs[c - 32];
}

} // namespace

void FillRect(TPicture& pic, const TRect& r, TColor c) {
    FillRect(pic, r, c, pic.Bounds());
}

void FillRect(TPicture& pic, const TRect& r, TColor c, const TRect& clip) {
    TRect a = r.Intersect(clip).Intersect(pic.Bounds());
    if (a.IsEmpty()) return;
    uint8_t* first = pic.At(a.Left, a.Top);
    for (int32_t x = 0; x < a.Width(); ++x) {
        first[x * 3] = c.B;
        first[x * 3 + 1] = c.G;
        first[x * 3 + 2] = c.R;
    }
    for (int32_t y = a.Top + 1; y < a.Bottom; ++y)
        std::memcpy(pic.At(a.Left, y), first, size_t(a.Width()) * 3);
}

void FillGradient(TPicture& pic, const TRect& r, TColor top, TColor bottom) {
    TRect a = r.Intersect(pic.Bounds());
    int32_t h = std::max(r.Height() - 1, 1);
    for (int32_t y = a.Top; y < a.Bottom; ++y)
        FillRect(pic, {a.Left, y, a.Right, y + 1}, Mix(top, bottom, (y - r.Top) * 256 / h));
}

void FrameRect(TPicture& pic, const TRect& r, TColor c) {
    FillRect(pic, {r.Left, r.Top, r.Right, r.Top + 1}, c);
    FillRect(pic, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, c);
    FillRect(pic, {r.Left, r.Top, r.Left + 1, r.Bottom}, c);
    FillRect(pic, {r.Right - 1, r.Top, r.Right, r.Bottom}, c);
}

void BevelRect(TPicture& pic, const TRect& r, bool raised) {
    TColor light = Rgb(255, 255, 255), dark = Rgb(105, 105, 105);
    if (!raised) std::swap(light, dark);
    FillRect(pic, {r.Left, r.Top, r.Right, r.Top + 1}, light);
    FillRect(pic, {r.Left, r.Top, r.Left + 1, r.Bottom}, light);
    FillRect(pic, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, dark);
    FillRect(pic, {r.Right - 1, r.Top, r.Right, r.Bottom}, dark);
}

void Blit(TPicture& dst, int32_t dx, int32_t dy, const TPicture& src, const TRect& srcRect,
          const TRect& clip) {
    TRect s = srcRect.Intersect(src.Bounds());
    TRect d = s.Offset(dx - srcRect.Left, dy - srcRect.Top).Intersect(clip).Intersect(dst.Bounds());
    if (d.IsEmpty()) return;
    int32_t sx = d.Left - dx + srcRect.Left, sy = d.Top - dy + srcRect.Top;
    for (int32_t y = 0; y < d.Height(); ++y)
        std::memcpy(dst.At(d.Left, d.Top + y), src.At(sx, sy + y), size_t(d.Width()) * 3);
}

void CopyRect(TPicture& dst, const TPicture& src, const TRect& r) {
    Blit(dst, r.Left, r.Top, src, r, dst.Bounds());
}

TPicture Shrink(const TPicture& src, int32_t width, int32_t height) {
    TPicture out(width, height);
    if (src.Width() == 0 || src.Height() == 0) return out;
    for (int32_t y = 0; y < out.Height(); ++y) {
        const int32_t y0 = int32_t(int64_t(y) * src.Height() / height);
        const int32_t y1 = std::max(y0 + 1, int32_t(int64_t(y + 1) * src.Height() / height));
        for (int32_t x = 0; x < out.Width(); ++x) {
            const int32_t x0 = int32_t(int64_t(x) * src.Width() / width);
            const int32_t x1 = std::max(x0 + 1, int32_t(int64_t(x + 1) * src.Width() / width));
            uint64_t sum[3] = {};
            for (int32_t sy = y0; sy < y1; ++sy)
                for (int32_t sx = x0; sx < x1; ++sx)
                    for (int k = 0; k < 3; ++k)
                        sum[k] += src.At(sx, sy)[k];
            const uint64_t n = uint64_t(y1 - y0) * uint64_t(x1 - x0);
            uint8_t* p = out.At(x, y);
            for (int k = 0; k < 3; ++k)
                p[k] = uint8_t((sum[k] + n / 2) / n);
        }
    }
    return out;
}

void ScrollUp(TPicture& pic, const TRect& r, int32_t dy) {
    TRect a = r.Intersect(pic.Bounds());
    for (int32_t y = a.Top; y + dy < a.Bottom; ++y)
        std::memmove(pic.At(a.Left, y), pic.At(a.Left, y + dy), size_t(a.Width()) * 3);
}

int32_t TextWidth(std::string_view text, int32_t scale) {
    return int32_t(text.size()) * kCellWidth * scale;
}

int32_t DrawText(TPicture& pic, int32_t x, int32_t y, std::string_view text, TColor c,
                 int32_t scale) {
    return DrawText(pic, x, y, text, c, scale, pic.Bounds());
}

int32_t DrawText(TPicture& pic, int32_t x, int32_t y, std::string_view text, TColor c,
                 int32_t scale, const TRect& clip) {
    TRect area = clip.Intersect(pic.Bounds());
    for (char ch : text) {
        TRect cell = RectXYWH(x, y, kCellWidth * scale, kCellHeight * scale);
        if (!cell.Intersect(area).IsEmpty()) {
            const TGlyph& g = Glyph(ch);
            for (int row = 0; row < kGlyphRows; ++row) {
                if (!g[size_t(row)]) continue;
                for (int col = 0; col < 5; ++col) {
                    if (!(g[size_t(row)] & (0x10 >> col))) continue;
                    FillRect(pic, RectXYWH(x + col * scale, y + row * scale, scale, scale), c,
                             area);
                }
            }
        }
        x += kCellWidth * scale;
    }
    return x;
}

} // namespace kiv::synth
