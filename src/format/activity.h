// What a recording does when, from its record headers alone: for every second
// the bytes of picture samples and the pointer samples, the markers (kind 4
// samples, with their text), and from those the idle stretches, where nothing
// changes the picture or moves the pointer.
#pragma once

#include "format/kiv_format.h"

#include <cstdint>
#include <string>

namespace kiv {

struct TActivitySecond {
    uint32_t Second = 0;         // of the recording
    uint64_t PictureBytes = 0;   // payload bytes of samples that change the picture
    uint32_t PointerSamples = 0; // samples that move the pointer
};

struct TMarker {
    uint32_t Time = 0; // ms
    std::string Text;  // the payload as text, empty without one
};

struct TIdleStretch {
    uint32_t From = 0; // the last change before it, ms
    uint32_t To = 0;   // the first change after it
};

// Whether a sample changes the picture, and whether it moves the pointer from
// (x, y), which it updates.
bool ChangesPicture(const TSampleHeader& h);
bool MovesPointer(const TSampleHeader& h, uint16_t& x, uint16_t& y);

// A marker's text is at most this long.
constexpr uint32_t kMaxMarkerText = 256;

} // namespace kiv
