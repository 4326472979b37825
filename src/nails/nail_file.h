// Files of a thumbnail folder, which may hold anything: FIFOs, devices, links
// out of it, names with "..", huge files. Only regular files are read, with a
// bound, and opening never waits for a writer.
#pragma once

#include "control/control_view.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

// Larger pictures are refused unread: a thumbnail is a few kilobytes.
constexpr uint64_t kMaxNailPictureBytes = 4 * 1024 * 1024;

// The picture "nails/<name>" of folder (ending with its separator): a regular
// file beneath the folder, reached without leaving it (links that stay inside
// are followed), at most limit bytes. Otherwise Error says why.
TThumbnailPicture ReadNailPicture(const std::string& folder, std::string_view name,
                                  uint64_t limit = kMaxNailPictureBytes);

// The whole regular file at path, at most limit bytes. Raises EKivError otherwise.
std::vector<uint8_t> ReadRegularFile(const std::string& path, uint64_t limit);

} // namespace kiv
