#include "synth/art.h"

#include "synth/rng.h"

#include <cmath>
#include <string_view>
#include <vector>

namespace kiv::synth {
namespace {

uint32_t Hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

float Lattice(int32_t x, int32_t y, uint32_t seed) {
    return float(Hash(x, y, seed) & 0xFFFF) * (1.0f / 65535.0f);
}

// Value noise with smooth interpolation, 0..1.
float Noise(float x, float y, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int32_t xi = int32_t(fx), yi = int32_t(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float a = Lattice(xi, yi, seed), b = Lattice(xi + 1, yi, seed);
    const float c = Lattice(xi, yi + 1, seed), d = Lattice(xi + 1, yi + 1, seed);
    return a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty;
}

float Fbm(float x, float y, uint32_t seed, int octaves) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * Noise(x, y, seed + uint32_t(i) * 101u);
        norm += amp;
        x *= 2.03f;
        y *= 2.03f;
        amp *= 0.5f;
    }
    return sum / norm;
}

struct TF3 {
    float R, G, B;
};
TF3 Lerp(TF3 a, TF3 b, float t) {
    return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}
TF3 Scale(TF3 a, float k) {
    return {a.R * k, a.G * k, a.B * k};
}
uint8_t Clamp8(float v) {
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

struct TPalette {
    TF3 SkyTop, SkyLow, Sun, Far, Near, Ground1, Ground2;
};

const TPalette kPalettes[] = {
    {{40, 110, 205},
     {175, 212, 240},
     {255, 250, 225},
     {95, 120, 150},
     {50, 90, 60},
     {80, 140, 50},
     {150, 170, 60}}, // summer day
    {{45, 40, 110},
     {250, 150, 80},
     {255, 225, 150},
     {110, 70, 90},
     {50, 35, 45},
     {90, 60, 40},
     {140, 90, 50}}, // sunset
    {{20, 30, 70},
     {120, 120, 170},
     {240, 240, 255},
     {60, 60, 95},
     {25, 30, 45},
     {40, 50, 60},
     {60, 70, 80}}, // dusk
    {{130, 140, 150},
     {205, 210, 212},
     {250, 250, 245},
     {120, 128, 135},
     {70, 85, 80},
     {95, 120, 80},
     {120, 130, 95}}, // overcast
};

} // namespace

void GeneratePhoto(TPicture& out, int32_t width, int32_t height, uint32_t seed) {
    out.Resize(width, height);
    if (width <= 0 || height <= 0) return;
    TRng rng(seed);
    const TPalette& p = kPalettes[rng.Below(4)];
    const bool water = rng.Chance(0.5);
    const float horizon = 0.50f + 0.12f * float(rng.Unit());
    const float sunX = 0.15f + 0.7f * float(rng.Unit());
    const float sunY = horizon * (0.25f + 0.5f * float(rng.Unit()));
    const float ph1 = float(rng.Unit()) * 6.28f, ph2 = float(rng.Unit()) * 6.28f;
    const float ph3 = float(rng.Unit()) * 6.28f;
    const float aspect = float(width) / float(height);
    const uint32_t ns = rng.Next();

    std::vector<float> farRidge(static_cast<size_t>(width)), nearRidge(static_cast<size_t>(width));
    for (int32_t x = 0; x < width; ++x) {
        const float u = float(x) / float(width);
        farRidge[size_t(x)] =
            horizon - (0.11f + 0.05f * std::sin(u * 7 + ph1) + 0.03f * std::sin(u * 17 + ph2) +
                       0.06f * Fbm(u * 9, 0.5f, ns, 3));
        nearRidge[size_t(x)] = horizon - (0.03f + 0.03f * std::sin(u * 4 + ph3) +
                                          0.03f * Fbm(u * 14, 1.5f, ns + 7, 3));
    }
    auto sky = [&](float u, float v) {
        const float t = std::min(v / horizon, 1.0f);
        TF3 c = Lerp(p.SkyTop, p.SkyLow, t);
        const float cloud = Fbm(u * aspect * 3, v * 7, ns + 3, 4);
        const float k = std::clamp((cloud - 0.52f) * 3.0f, 0.0f, 1.0f) * (1 - t * 0.6f);
        c = Lerp(c, {235, 235, 240}, k * 0.85f);
        const float dx = (u - sunX) * aspect, dy = v - sunY;
        const float d2 = dx * dx + dy * dy;
        const float glow = std::exp(-d2 * 60) * 0.7f + (d2 < 0.0018f ? 1.0f : 0.0f);
        return Lerp(c, p.Sun, std::min(glow, 1.0f));
    };
    for (int32_t y = 0; y < height; ++y) {
        const float v = float(y) / float(height);
        uint8_t* row = out.Row(y);
        for (int32_t x = 0; x < width; ++x) {
            const float u = float(x) / float(width);
            TF3 c;
            if (v >= nearRidge[size_t(x)] && v < horizon + 0.002f) {
                c = Scale(p.Near, 0.75f + 0.5f * Fbm(u * 40, v * 40, ns + 11, 2));
            } else if (v >= farRidge[size_t(x)] && v < horizon) {
                const float shade = 0.8f + 0.4f * Fbm(u * 25, v * 25, ns + 13, 2);
                c = Lerp(Scale(p.Far, shade), p.SkyLow, 0.25f);
            } else if (v < horizon) {
                c = sky(u, v);
            } else if (water) {
                const float ripple = 0.008f * std::sin(v * 420 + 3 * Noise(u * 30, v * 60, ns));
                c = Scale(sky(u + ripple, 2 * horizon - v), 0.72f);
            } else {
                const float t = (v - horizon) / (1 - horizon);
                const float f = Fbm(u * 4 / (t + 0.08f), t * 12, ns + 17, 3);
                c = Scale(Lerp(p.Ground1, p.Ground2, f), 0.7f + 0.5f * t);
            }
            const float grain = float(int32_t(Hash(x, y, ns) & 7) - 4);
            row[x * 3] = Clamp8(c.B + grain);
            row[x * 3 + 1] = Clamp8(c.G + grain);
            row[x * 3 + 2] = Clamp8(c.R + grain);
        }
    }
}

void PaintWallpaper(TPicture& out, uint32_t seed) {
    const TF3 a{18 + float(seed % 20), 60, 112}, b{38, 128, 142};
    const int32_t w = out.Width(), h = out.Height();
    const float span = float(w + h);
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = out.Row(y);
        const float bend = 40 * std::sin(float(y) * 0.006f);
        for (int32_t x = 0; x < w; ++x) {
            TF3 c = Lerp(a, b, float(x + y) / span);
            const float wave = std::sin((float(x) + bend) * 0.011f - float(y) * 0.004f);
            c = Scale(c, 0.92f + 0.08f * wave);
            row[x * 3] = Clamp8(c.B);
            row[x * 3 + 1] = Clamp8(c.G);
            row[x * 3 + 2] = Clamp8(c.R);
        }
    }
}

void PaintIcon(TPicture& pic, int32_t x, int32_t y, TIcon icon, int32_t s) {
    auto box = [&](int32_t l, int32_t t, int32_t r, int32_t b, TColor c) {
        FillRect(pic, {x + l * s, y + t * s, x + r * s, y + b * s}, c);
    };
    const TColor outline = Rgb(30, 30, 30);
    switch (icon) {
    case TIcon::Computer:
        box(2, 3, 30, 23, outline);
        box(3, 4, 29, 22, Rgb(205, 205, 210));
        box(5, 6, 27, 19, Rgb(40, 95, 185));
        box(6, 7, 16, 10, Rgb(90, 150, 230));
        box(13, 23, 19, 27, Rgb(150, 150, 155));
        box(8, 27, 24, 30, Rgb(120, 120, 125));
        break;
    case TIcon::Folder:
        box(3, 5, 15, 10, Rgb(205, 150, 30));
        box(3, 9, 29, 28, outline);
        box(4, 10, 28, 27, Rgb(250, 202, 72));
        box(4, 10, 28, 12, Rgb(255, 225, 130));
        break;
    case TIcon::Recordings:
        box(4, 5, 28, 27, outline);
        box(5, 6, 27, 26, Rgb(55, 55, 65));
        for (int32_t i = 0; i < 12; ++i) // a play triangle
            box(12, 10 + i, 13 + 2 * (i < 6 ? i : 11 - i), 11 + i, Rgb(240, 240, 240));
        box(22, 8, 25, 11, Rgb(220, 40, 40));
        break;
    case TIcon::Trash:
        box(6, 5, 26, 8, Rgb(110, 110, 115));
        box(13, 3, 19, 5, Rgb(110, 110, 115));
        box(8, 8, 24, 29, outline);
        box(9, 9, 23, 28, Rgb(175, 180, 185));
        for (int32_t i = 11; i < 23; i += 4)
            box(i, 11, i + 1, 26, Rgb(120, 125, 130));
        break;
    }
}

TPointerImage MakePointer(TPointerShape shape, int32_t scale) {
    static constexpr std::string_view kArrow[] = {
        "#...........", "##..........", "#W#.........", "#WW#........", "#WWW#.......",
        "#WWWW#......", "#WWWWW#.....", "#WWWWWW#....", "#WWWWWWW#...", "#WWWWWWWW#..",
        "#WWWWWWWWW#.", "#WWWWWW#####", "#WWW#WW#....", "#WW#.#WW#...", "#W#..#WW#...",
        "##....#WW#..", "#.....#WW#..", ".......#WW#.", ".......###..",
    };
    static constexpr std::string_view kBeam[] = {
        "###.###", "WWW#WWW", "...#...", "...#...", "...#...", "...#...", "...#...", "...#...",
        "...#...", "...#...", "...#...", "...#...", "...#...", "...#...", "WWW#WWW", "###.###",
    };
    static constexpr std::string_view kHand[] = {
        ".....##.........", "....#WW#........", "....#WW#........", "....#WW#........",
        "....#WW###......", "....#WW#WW###...", "....#WW#WW#WW##.", ".##.#WW#WW#WW#W#",
        "#WW##WWWWWWWW#W#", "#WWW#WWWWWWWWWW#", ".#WW#WWWWWWWWWW#", "..#WWWWWWWWWWWW#",
        "..#WWWWWWWWWWW#.", "...#WWWWWWWWWW#.", "...#WWWWWWWWW#..", "....#WWWWWWWW#..",
        "....#WWWWWWWW#..", "....##########..",
    };
    const std::string_view* art = kArrow;
    size_t rows = std::size(kArrow);
    TPointerImage out;
    if (shape == TPointerShape::IBeam) {
        art = kBeam;
        rows = std::size(kBeam);
        out.HotX = 3 * scale;
        out.HotY = 8 * scale;
    } else if (shape == TPointerShape::Hand) {
        art = kHand;
        rows = std::size(kHand);
        out.HotX = 5 * scale;
    }
    const int32_t w = int32_t(art[0].size());
    out.Image.Resize(w * scale, int32_t(rows) * scale);
    FillRect(out.Image, out.Image.Bounds(), kTransparentRed);
    for (size_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < w; ++c) {
            const char ch = art[r][size_t(c)];
            if (ch == '.') continue;
            FillRect(out.Image, RectXYWH(c * scale, int32_t(r) * scale, scale, scale),
                     ch == '#' ? Rgb(0, 0, 0) : Rgb(255, 255, 255));
        }
    return out;
}

} // namespace kiv::synth
