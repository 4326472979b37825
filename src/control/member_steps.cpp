#include "control/member_steps.h"

#include <vector>

namespace kiv {
namespace {

using enum TStep;
using TRow = std::vector<TStep>[8];

// Each row lists the states in TStatus order: Closed, Opened, Playing, Paused,
// Stopped, ScanForward, ScanReverse, Opening.
const TRow kRows[] = {
    // Open
    {{BeginOpen},
     {Release, BeginOpen},
     {Stop, Release, BeginOpen},
     {Play, Stop, Release, BeginOpen},
     {Release, BeginOpen},
     {Play, Stop, Release, BeginOpen},
     {Play, Stop, Release, BeginOpen},
     {Cancel, BeginOpen}},
    // Close
    {{}, {Release}, {Release}, {Release}, {Release}, {Release}, {Release}, {Cancel}},
    // Play
    {{}, {Play}, {}, {Play}, {Play}, {Play}, {Play}, {}},
    // Pause
    {{}, {}, {Pause}, {}, {}, {Play, Pause}, {Play, Pause}, {}},
    // Stop
    {{}, {}, {Stop}, {Play, Stop}, {}, {Play, Stop}, {Play, Stop}, {}},
    // FastForward
    {{}, {Play, Scan}, {Scan}, {Play, Scan}, {Play, Scan}, {}, {Play, Scan}, {}},
    // FastReverse
    {{}, {Play, Reverse}, {Reverse}, {Play, Reverse}, {Play, Reverse}, {Play, Reverse}, {}, {}},
};

} // namespace

std::span<const TStep> MemberSteps(TTableMember member, TStatus status) {
    const auto m = static_cast<size_t>(member);
    const auto s = static_cast<size_t>(status);
    if (m >= std::size(kRows) || s >= 8) return {};
    return kRows[m][s];
}

} // namespace kiv
