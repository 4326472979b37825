// Where a seek may go, decided from what the core reports.
#pragma once

#include "control/control_types.h"

#include <cstdint>

namespace kiv {

// Milliseconds, both ends inclusive.
struct TSeekRange {
    uint32_t First = 0;
    uint32_t Last = 0;
    // Nothing to move along: a live source with nothing buffered, or no recording.
    bool Empty() const { return Last <= First; }
    bool operator==(const TSeekRange&) const = default;
};

// A recording: all of it; a live or multicast source: what is buffered now.
TSeekRange SeekRangeOf(const TStatistics& statistics, uint32_t duration);

// target moved into range; a range whose Last is before First holds First only.
uint32_t ClampIntoRange(int64_t target, const TSeekRange& range);

// Playing, seeking and the transport need a source that has finished opening.
constexpr bool SourceIsOpen(TStatus state) {
    return state != vpClosed && state != vpOpening;
}

} // namespace kiv
