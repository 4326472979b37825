// The bounded LZO1X decoder with a small and the full destination. liblzo2 is not
// instrumented, so a guard zone behind the small destination catches writes past its
// capacity; whatever fits in the small one must decode the same way into the full one.
#include "codec/lzo_block.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr uint32_t kSmall = 1024;
constexpr size_t kGuard = 1024;
constexpr uint8_t kGuardByte = 0xA5;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return 0;
    const auto len = static_cast<int32_t>(size);
    static const auto full = std::make_unique<uint8_t[]>(kiv::kDecompressCapacity);
    uint8_t small[kSmall + kGuard];
    std::fill_n(small + kSmall, kGuard, kGuardByte);

    const int32_t smallLen = kiv::DecompressBounded(data, len, small, kSmall);
    const int32_t fullLen = kiv::DecompressBounded(data, len, full.get(), kiv::kDecompressCapacity);
    if (std::any_of(small + kSmall, small + kSmall + kGuard,
                    [](uint8_t b) { return b != kGuardByte; }))
        std::abort();
    if (smallLen < -1 || smallLen > static_cast<int32_t>(kSmall)) std::abort();
    if (fullLen < -1 || fullLen > static_cast<int32_t>(kiv::kDecompressCapacity)) std::abort();
    if (smallLen >= 0 &&
        (fullLen != smallLen || std::memcmp(small, full.get(), static_cast<size_t>(smallLen)) != 0))
        std::abort();
    return 0;
}
