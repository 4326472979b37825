// What each state-dependent member does in each play state: one table for the
// control core and the web engine.
#pragma once

#include "control/control_types.h"

#include <cstdint>
#include <span>

namespace kiv {

enum class TStep : uint8_t { Play, Pause, Stop, Scan, Reverse, Release, Cancel, BeginOpen };
enum class TTableMember : uint8_t { Open, Close, Play, Pause, Stop, FastForward, FastReverse };

// The steps, in order; Reverse fails with "Not Implement" after those before it.
std::span<const TStep> MemberSteps(TTableMember member, TStatus status);

} // namespace kiv
