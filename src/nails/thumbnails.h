// The thumbnails of an opened recording, without a toolkit: the download of a
// web recording's index and pictures, the creator that hands each thumbnail
// to the view, and the layout thread that re-flows the strip. All three are
// owned, started and joined here.
#pragma once

#include "control/thumbnails.h"

#include <memory>

namespace kiv {

std::unique_ptr<IThumbnails> NewThumbnails();

} // namespace kiv
