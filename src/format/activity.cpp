#include "format/activity.h"

#include "codec/compression.h"

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

} // namespace kiv
