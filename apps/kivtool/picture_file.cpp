#include "picture_file.h"

#include "platform/byte_order.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <strings.h>
#include <vector>

namespace kivtool {
namespace {

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

bool WriteBmp(const kiv::TBitmap24& p, const std::string& path) {
    const uint32_t stride = static_cast<uint32_t>(kiv::Stride24(p.Width()));
    const uint32_t image = stride * static_cast<uint32_t>(p.Height());
    uint8_t header[54] = {'B', 'M'};
    kiv::StoreLE32(header + 2, 54 + image);
    kiv::StoreLE32(header + 10, 54);
    kiv::StoreLE32(header + 14, 40);
    kiv::StoreLE32(header + 18, static_cast<uint32_t>(p.Width()));
    kiv::StoreLE32(header + 22, static_cast<uint32_t>(p.Height()));
    kiv::StoreLE16(header + 26, 1);
    kiv::StoreLE16(header + 28, 24);
    kiv::StoreLE32(header + 34, image);
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f || std::fwrite(header, 1, sizeof header, f.get()) != sizeof header) return false;
    std::vector<uint8_t> row(stride, 0);
    for (int32_t y = p.Height() - 1; y >= 0; --y) {
        std::memcpy(row.data(), p.Row(y), static_cast<size_t>(p.Width()) * 3);
        if (std::fwrite(row.data(), 1, stride, f.get()) != stride) return false;
    }
    return std::fflush(f.get()) == 0;
}

bool WritePng(const kiv::TBitmap24& p, const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(p.Width());
    image.height = static_cast<png_uint_32>(p.Height());
    image.format = PNG_FORMAT_BGR;
    const bool ok = png_image_write_to_file(&image, path.c_str(), 0, p.Bits(),
                                            static_cast<png_int_32>(p.Stride()), nullptr) != 0;
    png_image_free(&image);
    return ok;
}

} // namespace

bool WritePicture(const kiv::TBitmap24& picture, const std::string& path, std::string& error) {
    bool ok;
    if (EndsWithNoCase(path, ".bmp")) {
        ok = WriteBmp(picture, path);
    } else if (EndsWithNoCase(path, ".png")) {
        ok = WritePng(picture, path);
    } else {
        error = "the picture file must end in .bmp or .png: " + path;
        return false;
    }
    if (!ok) error = "cannot write " + path;
    return ok;
}

} // namespace kivtool
