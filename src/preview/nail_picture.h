// A recording's thumbnails, "nails.xml" and the "nails" folder beside it, as
// preview pictures.
#pragma once

#include "platform/bitmap24.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

// The largest thumbnail file read.
constexpr uint32_t kMaxNailFileBytes = 4u << 20;

class TNailPictures {
public:
    // address: the recording's. Reads the index beside it; none when it is
    // missing or unreadable. The index is read as the strip reads it: up to the
    // first blank line or time that is not a number.
    TNailPictures(const std::string& address, const std::atomic<bool>* abort);

    bool Empty() const { return FNails.empty(); }
    // The thumbnail whose time is the greatest not after ms, else the first.
    // Only when not Empty().
    size_t NearestAt(uint32_t ms) const;
    uint32_t TimeOf(size_t i) const { return FNails[i].Time; }
    std::vector<uint32_t> Times() const;
    // Decodes thumbnail i (a JPEG or a bitmap, by its extension). False when it
    // cannot be read or decoded.
    bool Read(size_t i, TBitmap24& picture) const;

private:
    struct TNail {
        uint32_t Time = 0;
        std::string Address; // on the web; else the file name in the folder's "nails"
    };
    std::vector<TNail> FNails; // ascending by time
    const std::atomic<bool>* FAbort;
    const bool FWeb;
    const std::string FFolder;
};

} // namespace kiv
