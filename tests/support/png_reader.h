// Reads reference PNG pictures for tests: any PNG, delivered as 8-bit RGB rows.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv::test {

struct TRgbImage {
    uint32_t Width = 0;
    uint32_t Height = 0;
    std::vector<uint8_t> Pixels; // rows top first, 3 bytes per pixel (red, green, blue)

    const uint8_t* Row(uint32_t y) const { return Pixels.data() + size_t{y} * Width * 3; }
};

// False, with libpng's reason in `error`, when the file is missing or not a PNG.
inline bool ReadPngRgb(const std::string& path, TRgbImage& image, std::string* error = nullptr) {
    constexpr uint64_t kMaxPixels = 64ull << 20;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    auto fail = [&](const char* fallback) {
        if (error) *error = png.message[0] ? png.message : fallback;
        png_image_free(&png);
        return false;
    };
    if (!png_image_begin_read_from_file(&png, path.c_str())) return fail("cannot open");
    if (uint64_t{png.width} * png.height > kMaxPixels) return fail("picture too large");
    png.format = PNG_FORMAT_RGB;
    image.Width = png.width;
    image.Height = png.height;
    image.Pixels.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image.Pixels.data(), 0, nullptr))
        return fail("cannot decode");
    return true;
}

} // namespace kiv::test
