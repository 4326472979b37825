// What kind of source a reading thread reads.
#pragma once

#include <cstdint>

namespace kiv {

enum TSourceKind : uint8_t { skNone = 0, skLocalFile = 1, skHttp = 2, skLive = 3, skMulticast = 4 };

} // namespace kiv
