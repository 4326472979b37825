// UnZipBuffer on arbitrary payloads. The first byte picks the compression kind (its low
// bits; 4 stands for an unknown kind) and the capacity (its high bit: a small one). The
// decoding libraries are not instrumented, so a guard zone behind the destination catches
// writes past the capacity.
#include "codec/kivdecoder.h"

#include "platform/error.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

constexpr uint32_t kFullCapacity = 5242880;
constexpr uint32_t kSmallCapacity = 4096;
constexpr size_t kGuard = 4096;
constexpr uint8_t kGuardByte = 0xA5;

uint8_t* Buffer() {
    static const bool initialised = InitDecoder();
    static const auto buffer = [] {
        auto b = std::make_unique<uint8_t[]>(kFullCapacity + kGuard);
        std::fill_n(b.get() + kFullCapacity, kGuard, kGuardByte);
        return b;
    }();
    (void)initialised;
    return buffer.get();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t selector = data[0];
    const int16_t kind = (selector & 0x7F) % 5 == 4 ? static_cast<int16_t>(4 + selector)
                                                    : static_cast<int16_t>((selector & 0x7F) % 5);
    const uint32_t capacity = (selector & 0x80) != 0 ? kSmallCapacity : kFullCapacity;
    uint8_t* buffer = Buffer();
    uint8_t* dest = buffer + kFullCapacity - capacity; // ends where the guard begins
    try {
        UnZipBuffer(data + 1, static_cast<uint32_t>(size - 1), kind, dest, capacity);
    } catch (const kiv::EKivError&) {
    }
    const uint8_t* guard = buffer + kFullCapacity;
    if (std::any_of(guard, guard + kGuard, [](uint8_t b) { return b != kGuardByte; })) std::abort();
    return 0;
}
