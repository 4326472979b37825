// Reads device-independent bitmaps: a BMP file image ("BM", 14-byte file header, info header,
// colour masks or table, bits) or a packed DIB without the file header, as the clipboard holds
// one. Every size is checked against the bytes present; the pixels are converted to 24 bits
// row by row, straight into the destination picture.
#pragma once

#include "platform/bitmap24.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kiv {

enum TDibCompression : uint32_t {
    biRGB = 0,
    biRLE8 = 1,
    biRLE4 = 2,
    biBitFields = 3,
    biJPEG = 4,
    biPNG = 5,
    biAlphaBitFields = 6,
};

enum class TDibError : uint8_t {
    None,
    Truncated,   // the headers, colour table or bits run past the bytes present
    BadHeader,   // a field no valid bitmap has
    Unsupported, // valid, but a kind this reader does not convert
    TooLarge,    // beyond the picture limits of TBitmap24
};

struct TDibResult {
    TDibError Error = TDibError::None;
    const char* Text = ""; // why, for the log; static text

    bool Ok() const { return Error == TDibError::None; }
    explicit operator bool() const { return Ok(); }
};

// The 24-bit value (blue, green, red from the low byte up) of every 16-bit pixel.
using TPixelTable16 = std::shared_ptr<const std::array<uint32_t, 65536>>;

// The fields of the headers that callers look at.
struct TDibInfo {
    bool FileHeader = false; // the image starts with the 14-byte "BM" file header
    uint32_t HeaderSize = 0; // of the info header
    int32_t Width = 0;
    int32_t Height = 0; // negative: rows are stored top-down
    uint16_t Planes = 0;
    uint16_t BitCount = 0;
    uint32_t Compression = biRGB;
    uint32_t ColorsUsed = 0;
    // Where the bits start, counted from the start of the image: the file header's field at
    // byte 10, or for a packed DIB the end of its colour masks and table.
    uint64_t BitsOffset = 0;

    int64_t AbsHeight() const { return Height < 0 ? -int64_t{Height} : int64_t{Height}; }
    bool TopDown() const { return Height < 0; }
    size_t InfoOffset() const { return FileHeader ? 14 : 0; }
};

// Reads the file header (if any) and the info header, without looking at the bits.
TDibResult ReadDibInfo(const uint8_t* data, size_t size, TDibInfo& info);

// A validated view of a bitmap image; the bytes must outlive it and stay unchanged.
class TDibImage {
public:
    // Parses and checks the whole image: after success, drawing cannot fail or read out of
    // bounds. RLE data that ends early leaves the rest of the picture black.
    TDibResult Open(const uint8_t* data, size_t size);

    const TDibInfo& Info() const { return FInfo; }
    int32_t Width() const { return FInfo.Width; }
    int32_t Height() const { return static_cast<int32_t>(FInfo.AbsHeight()); }
    bool IsOpen() const { return FData != nullptr; }

    // The picture as a new 24-bit bitmap.
    TDibResult Decode(TBitmap24& out) const;

    // Converts `srcRect` of the picture and draws it into `dst` with its top-left corner at
    // (x, y), clipped to both. Pixels that RLE data skips count as black.
    void Blit(TBitmap24& dst, int32_t x, int32_t y, const TRect& srcRect, TBlitMode mode,
              TColorRef key = kTransparentRed) const;
    void Blit(TBitmap24& dst, int32_t x, int32_t y, TBlitMode mode,
              TColorRef key = kTransparentRed) const {
        Blit(dst, x, y, TRect{0, 0, Width(), Height()}, mode, key);
    }

private:
    struct TChannel {
        uint32_t Shift = 0;
        uint32_t Bits = 0; // 0: the channel is absent and reads as 0
        uint32_t Max = 0;
        std::array<uint8_t, 256> Table{}; // scaled values when Bits <= 8
        uint8_t Scale(uint32_t pixel) const;
    };
    struct TRowSink;

    TDibResult ReadMasks(uint64_t& tableStart);
    TPixelTable16 Table16() const;
    void ConvertRow(int32_t y, int32_t x, int32_t count, uint8_t* out,
                    const uint32_t* table16 = nullptr) const;
    void ConvertMasked(const uint8_t* src, size_t count, uint8_t* out) const;
    const uint8_t* StoredRow(int32_t y) const;
    void DecodeRle(TRowSink& sink) const;

    const uint8_t* FData = nullptr;
    size_t FSize = 0;
    TDibInfo FInfo;
    uint64_t FStride = 0;
    bool FPlain32 = false; // 32 bits with the default masks: bytes blue, green, red, unused
    bool FNarrow = true;   // no channel wider than 8 bits
    // The two common 16-bit layouts, widened without the pixel table.
    enum class T16Layout { Other, Rgb555, Rgb565 };
    T16Layout FLayout16 = T16Layout::Other;
    std::array<TChannel, 3> FChannels;       // blue, green, red
    std::array<uint8_t, 256 * 3> FPalette{}; // blue, green, red; black past the table
};

// One-call forms for callers that do not keep the parsed image.
TDibResult DecodeDib(const uint8_t* data, size_t size, TBitmap24& out);
TDibResult BlitDib(const uint8_t* data, size_t size, TBitmap24& dst, int32_t x, int32_t y,
                   TBlitMode mode, TColorRef key = kTransparentRed);

} // namespace kiv
