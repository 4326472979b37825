// The block a thumbnail creator hands to the control with WM_NAILCREATED: the
// path's bytes, their count at 2048 and the time in seconds at 2052. The creator
// keeps every block it posted until the receiver takes it (or the creator goes),
// so a message the window drops loses nothing.
#pragma once

#include "platform/event.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kiv {

constexpr uint32_t kNailPathCapacity = 2048;
constexpr uint32_t kNailBlockSize = 2056;

using TNailBlock = std::unique_ptr<uint8_t[]>;

// Null when the path does not fit: such a thumbnail is skipped.
TNailBlock MakeNailBlock(const std::string& path, uint32_t seconds);
// The path (a length field above 2048 reads no further than the block) and the time.
void ReadNailBlock(const uint8_t* block, std::string& path, uint32_t& seconds);

// Set after each layout step has been handled; the layout thread waits on it.
// One per process, auto-reset.
TEvent& LayoutNailEvent();

} // namespace kiv
