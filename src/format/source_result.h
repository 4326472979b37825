// The result of opening a source: 0 opened, 1 to 9 why not. Every reading thread
// reports one; the recording reader is the first to.
#pragma once

namespace kiv {

enum TSourceResult : int {
    srOk = 0,
    srCannotOpen = 1,
    srNoIndex = 2,
    srCannotConnect = 3,
    srRefused = 4,
    srDamaged = 5,
    srUndefined = 6,
    srDisconnected = 7,
    srBadUrl = 8,
    srBadMulticastFile = 9,
};

} // namespace kiv
