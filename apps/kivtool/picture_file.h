// Writing the picture as a BMP or PNG file.
#pragma once

#include "platform/bitmap24.h"

#include <string>

namespace kivtool {

// By the name's ending: ".bmp" (any case) an uncompressed 24-bit bottom-up BMP,
// ".png" a PNG. False with `error` set when it cannot be written.
bool WritePicture(const kiv::TBitmap24& picture, const std::string& path, std::string& error);

} // namespace kivtool
