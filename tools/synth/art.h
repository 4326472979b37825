// The synthetic screen's artwork: wallpaper, desktop icons, photos and pointer shapes.
#pragma once

#include "synth/picture.h"

#include <cstdint>

namespace kiv::synth {

// Procedural landscapes: sky, sun, clouds, hills, water or fields, film grain.
void GeneratePhoto(TPicture& out, int32_t width, int32_t height, uint32_t seed);
// A soft diagonal gradient with gentle waves, the size of `out`.
void PaintWallpaper(TPicture& out, uint32_t seed);

enum class TIcon { Computer, Folder, Recordings, Trash };
// An icon of 32 × 32 scaled pixels with its top-left at (x, y).
void PaintIcon(TPicture& pic, int32_t x, int32_t y, TIcon icon, int32_t scale);

enum class TPointerShape : uint8_t { Arrow, IBeam, Hand };
struct TPointerImage {
    TPicture Image; // pure red where transparent
    int32_t HotX = 0, HotY = 0;
};
TPointerImage MakePointer(TPointerShape shape, int32_t scale);

} // namespace kiv::synth
