// Small copies of pictures for previews.
#pragma once

#include "platform/bitmap24.h"

namespace kiv {

// The picture reduced to at most maxWidth x maxHeight, aspect kept, each pixel
// the mean of the source pixels it covers. A smaller picture is copied as it is.
TBitmap24 ShrinkPicture(const TBitmap24& source, int32_t maxWidth, int32_t maxHeight);

} // namespace kiv
