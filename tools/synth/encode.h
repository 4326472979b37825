// Payloads as the recorder writes them: a BMP file image of a picture region,
// stored raw or compressed with JPEG, LZO1X-1 or zlib.
#pragma once

#include "format/kiv_format.h"
#include "synth/picture.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kiv::synth {

constexpr uint32_t kBmpHeadersSize = 54;

// Bytes of a BMP file image: headers and rows padded to 4 bytes.
uint64_t BmpImageSize(int64_t width, int64_t height, int bits);
// The bit count the player can decode for a region of this size: 24 when the
// 24-bit image fits its decode buffer, else 16, else 0 (too large to play).
int PlayableBits(int64_t width, int64_t height);

// A JPEG file of the whole picture, top row first, as any image viewer reads it.
std::vector<uint8_t> EncodeJpegFile(const TPicture& pic, int quality);

enum class TBmpDepth { Auto, Bits24, Bits16 };

class TPayloadEncoder {
public:
    TPayloadEncoder();
    ~TPayloadEncoder();
    TPayloadEncoder(const TPayloadEncoder&) = delete;
    TPayloadEncoder& operator=(const TPayloadEncoder&) = delete;

    int JpegQuality = 80;
    int ZlibLevel = 6;

    // The payload of region r of pic. Auto depth takes PlayableBits; a JPEG is
    // always 24-bit and holds the rows bottom row first, so that the player's
    // decoder, which fills the last row first, shows it upright. Raises
    // EKivError when the region cannot be played (unless the depth is forced).
    // The result lives until the next call.
    const std::vector<uint8_t>& Encode(const TPicture& pic, const TRect& r, TCompression c,
                                       TBmpDepth depth = TBmpDepth::Auto);
    // The payload of a difference region: a BMP of oldPic XOR newPic over r.
    // JPEG cannot carry one.
    const std::vector<uint8_t>& EncodeXor(const TPicture& oldPic, const TPicture& newPic,
                                          const TRect& r, TCompression c,
                                          TBmpDepth depth = TBmpDepth::Auto);
    // Bits per pixel of the last image encoded (the JPEG's decoded image: 24).
    int LastBits() const { return FLastBits; }

private:
    int ChooseBits(const TRect& r, TBmpDepth depth, TCompression c) const;
    void BuildBmp(const TPicture* oldPic, const TPicture& pic, const TRect& r, int bits);
    const std::vector<uint8_t>& Compress(TCompression c);
    void EncodeJpeg(const TPicture& pic, const TRect& r);

    std::vector<uint8_t> FBmp, FOut;
    std::vector<uint64_t> FLzoWork;
    int FLastBits = 24;
};

} // namespace kiv::synth
