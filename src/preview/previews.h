// What the seek slider's hover shows: the recording at a time, answered by a
// reader that owns its thread (TPreviewReader). Hosts include only this.
#pragma once

#include "platform/bitmap24.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kiv {

enum class TPreviewFrom : uint8_t { TimeOnly, Thumbnail, KeyFrame };

struct TPreview {
    uint64_t Request = 0; // the number Request gave
    uint32_t Time = 0;    // the time asked for, ms
    std::string TimeText; // of Time, as the control shows times
    TPreviewFrom From = TPreviewFrom::TimeOnly;
    uint32_t PictureTime = 0;                 // the thumbnail's or key frame's time
    std::shared_ptr<const TBitmap24> Picture; // null with TimeOnly
};

struct TPreviewOptions {
    int32_t MaxWidth = 160; // pictures are shrunk to fit, aspect kept
    int32_t MaxHeight = 120;
    size_t CacheEntries = 16;
};

class IPreviews {
public:
    // Called on the reader's thread with the answer to the newest request; a
    // superseded or cancelled request gets none.
    using TReady = std::function<void(const TPreview&)>;

    // Gives up a read under way and waits for the thread.
    virtual ~IPreviews() = default;
    // Any thread. The recording now open (empty: none); its index or thumbnail
    // index is read at once, the previous recording's pictures are dropped.
    virtual void SetAddress(std::string address) = 0;
    // Any thread. Asks for the preview at ms; supersedes every earlier request,
    // and a read under way for another picture is given up. Returns its number.
    virtual uint64_t Request(uint32_t ms) = 0;
    // Any thread. No answer comes for the requests made so far.
    virtual void Cancel() = 0;
};

std::unique_ptr<IPreviews> NewPreviews(IPreviews::TReady ready, TPreviewOptions options = {});

} // namespace kiv
