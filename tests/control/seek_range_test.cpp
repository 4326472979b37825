#include "control/seek_range.h"

#include <gtest/gtest.h>

#include <limits>

namespace kiv {
namespace {

TEST(SeekRange, ARecordingIsWholeALiveSourceWhatIsBuffered) {
    TStatistics file;
    file.FirstTimeStamp = 3000;
    file.LastTimeStamp = 9000;
    EXPECT_EQ(SeekRangeOf(file, 60000), (TSeekRange{0, 60000}));
    TStatistics live = file;
    live.Live = true;
    EXPECT_EQ(SeekRangeOf(live, 60000), (TSeekRange{3000, 9000}));
    const TStatistics empty{.Reading = true, .Live = true};
    EXPECT_TRUE(SeekRangeOf(empty, 60000).Empty());
    EXPECT_FALSE(SeekRangeOf(live, 0).Empty());
    EXPECT_TRUE(SeekRangeOf(file, 0).Empty());
}

TEST(SeekRange, TargetsAreMovedIntoTheRange) {
    struct TCase {
        TSeekRange Range;
        int64_t Target;
        uint32_t Expected;
    };
    const TCase cases[] = {
        {{3000, 9000}, 5000, 5000},
        {{3000, 9000}, 3000, 3000},
        {{3000, 9000}, 9000, 9000},
        {{3000, 9000}, 2999, 3000},
        {{3000, 9000}, -5000, 3000},
        {{3000, 9000}, 9001, 9000},
        {{0, 4'000'000'000u}, std::numeric_limits<int64_t>::max(), 4'000'000'000u},
        {{0, 60000}, std::numeric_limits<int64_t>::min(), 0},
        // Nothing buffered, or the ends crossed while the buffer moves on.
        {{0, 0}, 5000, 0},
        {{5000, 4000}, 100, 5000},
        {{5000, 4000}, 9000, 5000},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ClampIntoRange(c.Target, c.Range), c.Expected)
            << c.Target << " into " << c.Range.First << ".." << c.Range.Last;
}

} // namespace
} // namespace kiv
