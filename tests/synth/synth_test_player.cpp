#include "synth_test_player.h"

#include "platform/byte_reader.h"

#include <cstdlib>
#include <stdexcept>

namespace kiv::test {

std::string WalkRecording(const std::vector<uint8_t>& bytes, TWalkedRecording& out) {
    if (bytes.size() < kFileHeaderSize) return "shorter than a file header";
    out = TWalkedRecording{};
    out.Header = ParseFileHeader(bytes.data());
    const uint64_t areaEnd = uint64_t(kFileHeaderSize) + out.Header.HeaderPosition;
    if (areaEnd + kIndexHeaderSize > bytes.size()) return "HeaderPosition points past the end";
    TByteReader r(bytes.data(), size_t(areaEnd));
    r.Seek(kFileHeaderSize);
    while (r.Position() < areaEnd) {
        const size_t at = r.Position();
        const uint8_t* head = r.Span(kSampleHeaderSize);
        if (!head)
            return "a sample header crosses the end of the sample area at " + std::to_string(at);
        TWalkedSample s{ParseSampleHeader(head), at - kFileHeaderSize, nullptr};
        s.Payload = r.Span(s.Header.Length);
        if (!s.Payload && s.Header.Length) return "a payload crosses the end of the sample area";
        out.Samples.push_back(s);
    }
    TByteReader ix(bytes.data(), bytes.size());
    ix.Seek(size_t(areaEnd));
    uint32_t count = 0;
    if (!ix.U32(count) || !ix.Skip(12)) return "no index header";
    if (uint64_t(count) * kIndexEntrySize != ix.Remaining())
        return "the index holds " + std::to_string(count) + " entries but " +
               std::to_string(ix.Remaining()) + " bytes follow";
    for (uint32_t i = 0; i < count; ++i)
        out.Index.push_back(ParseIndexEntry(ix.Span(kIndexEntrySize)));
    return {};
}

std::string ParseBmp(const uint8_t* image, size_t size, TBmpInfo& info) {
    TByteReader r(image, size);
    uint8_t b = 0, m = 0;
    uint32_t headerSize = 0;
    int32_t width = 0, height = 0;
    uint16_t planes = 0, bits = 0;
    uint32_t compression = 0;
    if (!r.U8(b) || !r.U8(m) || b != 'B' || m != 'M') return "no BM signature";
    if (!r.U32(info.FileSize) || !r.Skip(4) || !r.U32(info.PixelOffset)) return "short file header";
    if (!r.U32(headerSize) || !r.I32(width) || !r.I32(height) || !r.U16(planes) || !r.U16(bits) ||
        !r.U32(compression))
        return "short information header";
    if (headerSize != 40 || planes != 1 || compression != 0) return "unexpected information header";
    if (bits != 16 && bits != 24) return "unexpected bit count " + std::to_string(bits);
    if (width <= 0 || height == 0 || height == INT32_MIN) return "bad size";
    info.Width = width;
    info.Height = height;
    info.Bits = bits;
    const uint64_t row = uint64_t((int64_t(width) * bits + 31) / 32) * 4;
    const uint64_t need = uint64_t(info.PixelOffset) + row * uint64_t(std::abs(int64_t(height)));
    if (info.FileSize != size)
        return "size field " + std::to_string(info.FileSize) + " but " + std::to_string(size) +
               " bytes";
    if (info.PixelOffset < 54 || need > size) return "pixels outside the image";
    return {};
}

void TTestPlayer::Apply(const TSampleHeader& h, const uint8_t* image, size_t size) {
    TBmpInfo info;
    const std::string error = ParseBmp(image, size, info);
    if (!error.empty()) throw std::runtime_error(error);
    const int32_t rows = std::abs(info.Height);
    const uint64_t rowBytes = uint64_t((int64_t(info.Width) * info.Bits + 31) / 32) * 4;
    const bool xorOp = h.Kind == skDifference;
    for (int32_t y = 0; y < rows; ++y) {
        const int32_t py = h.Top + y;
        if (py >= Picture.Height()) break;
        const int32_t stored = info.Height > 0 ? rows - 1 - y : y;
        const uint8_t* src = image + info.PixelOffset + uint64_t(stored) * rowBytes;
        for (int32_t x = 0; x < info.Width && h.Left + x < Picture.Width(); ++x) {
            uint8_t px[3];
            if (info.Bits == 24) {
                px[0] = src[x * 3];
                px[1] = src[x * 3 + 1];
                px[2] = src[x * 3 + 2];
            } else {
                const uint16_t v = LoadLE16(src + x * 2);
                auto expand = [](unsigned c) { return uint8_t((c << 3) | (c >> 2)); };
                px[0] = expand(v & 31);
                px[1] = expand((v >> 5) & 31);
                px[2] = expand((v >> 10) & 31);
            }
            uint8_t* dst = Picture.At(h.Left + x, py);
            for (int k = 0; k < 3; ++k)
                dst[k] = xorOp ? uint8_t(dst[k] ^ px[k]) : px[k];
        }
    }
}

double MeanDifference(const synth::TPicture& a, const synth::TPicture& b) {
    if (a.Bounds() != b.Bounds()) return 255;
    uint64_t sum = 0;
    for (size_t i = 0; i < a.Bytes().size(); ++i)
        sum += uint64_t(std::abs(a.Bytes()[i] - b.Bytes()[i]));
    return a.Bytes().empty() ? 0 : double(sum) / double(a.Bytes().size());
}

} // namespace kiv::test
