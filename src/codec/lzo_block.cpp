#include "codec/lzo_block.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <limits>

namespace kiv {

namespace {

// The library checks its own build once; a magic static makes that thread-safe.
bool LzoReady() {
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

} // namespace

int32_t DecompressBounded(const uint8_t* src, int32_t len, uint8_t* dst, uint32_t capacity) {
    // A valid block always holds at least its end marker.
    if (src == nullptr || dst == nullptr || len <= 0 || !LzoReady()) return -1;
    // The result must fit a signed 32-bit count.
    lzo_uint outLen = std::min<lzo_uint>(capacity, std::numeric_limits<int32_t>::max());
    const int rc = lzo1x_decompress_safe(src, static_cast<lzo_uint>(len), dst, &outLen, nullptr);
    return rc == LZO_E_OK ? static_cast<int32_t>(outLen) : -1;
}

} // namespace kiv
