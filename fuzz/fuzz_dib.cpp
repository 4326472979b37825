// Arbitrary bytes as a bitmap image: parse, convert and draw into a small picture.
#include "platform/dib_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kiv::TDibInfo info;
    kiv::ReadDibInfo(data, size, info);

    kiv::TDibImage dib;
    if (!dib.Open(data, size)) return 0;

    kiv::TBitmap24 dst;
    dst.Create(37, 23);
    dib.Blit(dst, -3, -2, kiv::TBlitMode::Copy);
    dib.Blit(dst, 5, 4, kiv::TBlitMode::Xor);
    const int32_t w = dib.Width(), h = dib.Height();
    dib.Blit(dst, 30, 20, kiv::TRect{w / 3, h / 2, w + 5, h}, kiv::TBlitMode::Transparent);

    // Whole decodes only for modest sizes: the limits allow pictures of hundreds of megabytes.
    if (int64_t{w} * h <= (int64_t{1} << 20)) {
        kiv::TBitmap24 whole;
        dib.Decode(whole);
        dst.Blit(-1, -1, whole, kiv::TBlitMode::Transparent);
    }
    return 0;
}
