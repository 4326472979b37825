// How a sample payload is compressed.
#pragma once

#include <cstdint>

namespace kiv {

enum TCompression : uint16_t { ckRaw = 0, ckJpeg = 1, ckLzo = 2, ckZlib = 3 };

} // namespace kiv
