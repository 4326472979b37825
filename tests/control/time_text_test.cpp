#include "control/time_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

namespace kiv {
namespace {

TEST(TimeText, WholeSecondsAsHoursMinutesSecondsUnwrapped) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "00:00:00"},
        {999, "00:00:00"},
        {7000, "00:00:07"},
        {3'661'000, "01:01:01"},
        {86'399'999, "23:59:59"},
        {86'400'000, "24:00:00"},
        {360'000'000, "100:00:00"},
        {std::numeric_limits<uint32_t>::max(), "1193:02:47"},
        {-1, "00:00:00"},
        {-3'661'000, "00:00:00"},
    };
    for (auto [ms, text] : cases)
        EXPECT_EQ(TimeText(ms), text) << ms;
}

} // namespace
} // namespace kiv
