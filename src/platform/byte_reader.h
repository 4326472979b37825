// Bounds-checked reading of untrusted bytes: every read says whether the bytes were there.
#pragma once

#include "platform/byte_order.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kiv {

class TByteReader {
public:
    TByteReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

    size_t Position() const { return FPos; }
    size_t Remaining() const { return FSize - FPos; }
    bool Seek(size_t pos) {
        if (pos > FSize) return false;
        FPos = pos;
        return true;
    }
    bool Skip(size_t n) {
        if (n > Remaining()) return false;
        FPos += n;
        return true;
    }
    bool U8(uint8_t& v) {
        if (Remaining() < 1) return false;
        v = FData[FPos++];
        return true;
    }
    bool U16(uint16_t& v) {
        if (Remaining() < 2) return false;
        v = LoadLE16(FData + FPos);
        FPos += 2;
        return true;
    }
    bool U32(uint32_t& v) {
        if (Remaining() < 4) return false;
        v = LoadLE32(FData + FPos);
        FPos += 4;
        return true;
    }
    bool I32(int32_t& v) {
        uint32_t u;
        if (!U32(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool Bytes(void* out, size_t n) {
        if (n > Remaining()) return false;
        std::memcpy(out, FData + FPos, n);
        FPos += n;
        return true;
    }
    // A view of the next n bytes, or null when they are not all there.
    const uint8_t* Span(size_t n) {
        if (n > Remaining()) return nullptr;
        const uint8_t* p = FData + FPos;
        FPos += n;
        return p;
    }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

} // namespace kiv
