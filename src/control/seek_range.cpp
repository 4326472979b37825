#include "control/seek_range.h"

#include <algorithm>

namespace kiv {

TSeekRange SeekRangeOf(const TStatistics& statistics, uint32_t duration) {
    if (statistics.Live) return {statistics.FirstTimeStamp, statistics.LastTimeStamp};
    return {0, duration};
}

uint32_t ClampIntoRange(int64_t target, const TSeekRange& range) {
    return static_cast<uint32_t>(
        std::clamp<int64_t>(target, range.First, std::max(range.First, range.Last)));
}

} // namespace kiv
