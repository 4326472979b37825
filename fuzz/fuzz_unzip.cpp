// UnZipBuffer on arbitrary payloads. The first byte picks the compression kind (its low
// bits; 4 stands for an unknown kind) and the capacity (its high bit: a small one). The
// decoding libraries are not instrumented, so a guard zone behind the destination catches
// writes past the capacity. The C form must answer the same: success with the same count,
// or a failure whose message is a whole-character prefix of the raised one in a short
// buffer that it never passes.
#include "codec/kivdecoder.h"

#include "platform/error.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr uint32_t kFullCapacity = 5242880;
constexpr uint32_t kSmallCapacity = 4096;
constexpr size_t kGuard = 4096;
constexpr uint8_t kGuardByte = 0xA5;
constexpr size_t kMessageSize = 16;

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
    const auto length = static_cast<uint32_t>(size - 1);
    int32_t result = -1;
    std::string error = "LZO1X data damaged";
    try {
        result = UnZipBuffer(data + 1, length, kind, dest, capacity);
    } catch (const kiv::EKivError& e) {
        error = e.what();
    }
    const uint8_t* guard = buffer + kFullCapacity;
    if (std::any_of(guard, guard + kGuard, [](uint8_t b) { return b != kGuardByte; })) std::abort();

    char message[kMessageSize + 1];
    message[kMessageSize] = static_cast<char>(kGuardByte);
    int32_t written = -2;
    const int32_t code =
        UnZipBufferC(data + 1, length, kind, dest, capacity, &written, message, kMessageSize);
    if (message[kMessageSize] != static_cast<char>(kGuardByte)) std::abort();
    if (result >= 0) {
        if (code != KIV_DECODER_OK || written != result || message[0] != '\0') std::abort();
        return 0;
    }
    // Cut, if at all, before a character's first byte and at most 3 bytes short of full.
    const size_t n = std::strlen(message);
    const bool whole = n == error.size() || ((error[n] & 0xC0) != 0x80 && n + 4 >= kMessageSize);
    if (code != KIV_DECODER_FAILED || written != 0 || error.compare(0, n, message) != 0 || !whole)
        std::abort();
    return 0;
}
