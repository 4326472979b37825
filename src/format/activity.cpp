#include "format/activity.h"

#include "codec/compression.h"

#include <algorithm>

namespace kiv {

bool ChangesPicture(const TSampleHeader& h) {
    const bool picture = h.Kind == skKeyFrame || h.Kind == skDifference || h.Kind == skReplacement;
    return picture && h.Length > 0;
}

bool MovesPointer(const TSampleHeader& h, uint16_t& x, uint16_t& y) {
    // A pointer sample places (or, at (0, 0), hides) the pointer and may bring a
    // new shape; a picture sample may carry where the pointer is now.
    uint16_t nx = h.MouseX, ny = h.MouseY;
    bool changed = false;
    if (h.Kind == skPointer) {
        nx = h.Left;
        ny = h.Top;
        changed = h.Length > 0;
    } else if (nx == 0 && ny == 0) {
        return false;
    }
    changed = changed || nx != x || ny != y;
    x = nx;
    y = ny;
    return changed;
}

bool ScanRecordHeaders(TByteStream& stream, const TKivFileHeader& header,
                       const TRecordHeaderSink& sink, const std::atomic<bool>& abort) {
    const int64_t end = SampleAreaEnd(header);
    int64_t at = stream.Position();
    uint8_t raw[kSampleHeaderSize];
    std::string text;
    while (at < end && !abort.load(std::memory_order_relaxed)) {
        if (end - at < kSampleHeaderSize) return false;
        if (stream.Seek(at, soBeginning) != at ||
            stream.ReadFull(raw, kSampleHeaderSize) != int32_t{kSampleHeaderSize})
            return false;
        const TSampleHeader h = ParseSampleHeader(raw);
        const int64_t next = at + kSampleHeaderSize + int64_t{h.Length};
        if (h.Length > kMaxRecordSize || next > end) return false;
        text.clear();
        if (h.Kind == skMarker && h.Compression == ckRaw && h.Length > 0) {
            text.resize(std::min<uint32_t>(h.Length, kMaxMarkerText));
            const auto size = static_cast<int32_t>(text.size());
            if (stream.ReadFull(text.data(), size) != size) return false;
        }
        sink(h, text);
        if (h.TimeStamp == header.Duration) break;
        at = next;
    }
    return true;
}

} // namespace kiv
