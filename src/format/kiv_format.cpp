#include "format/kiv_format.h"

#include <cstring>

namespace kiv {

TKivFileHeader ParseFileHeader(const uint8_t* p) {
    TKivFileHeader h{};
    std::memcpy(h.Magic, p, 2);
    std::memcpy(h.Reserved1, p + 2, 2);
    h.Width = LoadLE16(p + 4);
    h.Height = LoadLE16(p + 6);
    h.Duration = LoadLE32(p + 8);
    h.HeaderPosition = LoadLE32(p + 12);
    std::memcpy(h.Reserved2, p + 16, 16);
    return h;
}

void StoreFileHeader(const TKivFileHeader& h, uint8_t* p) {
    std::memcpy(p, h.Magic, 2);
    std::memcpy(p + 2, h.Reserved1, 2);
    StoreLE16(p + 4, h.Width);
    StoreLE16(p + 6, h.Height);
    StoreLE32(p + 8, h.Duration);
    StoreLE32(p + 12, h.HeaderPosition);
    std::memcpy(p + 16, h.Reserved2, 16);
}

TSampleHeader ParseSampleHeader(const uint8_t* p) {
    TSampleHeader h{};
    h.TimeStamp = LoadLE32(p);
    h.Left = LoadLE16(p + 4);
    h.Top = LoadLE16(p + 6);
    h.Kind = static_cast<int16_t>(LoadLE16(p + 8));
    h.Compression = LoadLE16(p + 10);
    h.Length = LoadLE32(p + 12);
    h.MouseX = LoadLE16(p + 16);
    h.MouseY = LoadLE16(p + 18);
    std::memcpy(h.Reserved, p + 20, 8);
    return h;
}

void StoreSampleHeader(const TSampleHeader& h, uint8_t* p) {
    StoreLE32(p, h.TimeStamp);
    StoreLE16(p + 4, h.Left);
    StoreLE16(p + 6, h.Top);
    StoreLE16(p + 8, static_cast<uint16_t>(h.Kind));
    StoreLE16(p + 10, h.Compression);
    StoreLE32(p + 12, h.Length);
    StoreLE16(p + 16, h.MouseX);
    StoreLE16(p + 18, h.MouseY);
    std::memcpy(p + 20, h.Reserved, 8);
}

TIndexEntry ParseIndexEntry(const uint8_t* p) {
    return {LoadLE32(p), LoadLE32(p + 4)};
}

void StoreIndexEntry(const TIndexEntry& e, uint8_t* p) {
    StoreLE32(p, e.TimeStamp);
    StoreLE32(p + 4, e.Offset);
}

const char* PictureSizeProblem(int64_t width, int64_t height, const TKivFileHeader& header) {
    if (width <= 0 || height <= 0) return "a picture of no pixels";
    if ((header.Width != 0 && width > header.Width) ||
        (header.Height != 0 && height > header.Height))
        return "larger than the recording";
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
        return "past the limit of 8192 pixels a side, 8192 x 4320 in all";
    return nullptr;
}

} // namespace kiv
