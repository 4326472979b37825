#include "synth/encode.h"

#include "platform/error.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <lzo/lzo1x.h>
#include <mutex>
#include <zlib.h>

#include <jpeglib.h>

#include <jerror.h> // after jpeglib.h

namespace kiv::synth {
namespace {

uint64_t RowBytes(int64_t width, int bits) {
    return uint64_t((width * bits + 31) / 32) * 4;
}

void InitLzo() {
    static std::once_flag once;
    static int result = LZO_E_OK;
    std::call_once(once, [] { result = lzo_init(); });
    if (result != LZO_E_OK) throw EKivError("The LZO library cannot be initialised");
}

// JPEG output straight into a growing vector.
struct TVectorDest {
    jpeg_destination_mgr Mgr;
    std::vector<uint8_t>* Out;
};

void DestInit(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<TVectorDest*>(cinfo->dest);
    // Start from the last output's size: growing to the whole capacity would clear it all.
    d->Out->resize(std::max<size_t>(d->Out->size(), 64 * 1024));
    d->Mgr.next_output_byte = d->Out->data();
    d->Mgr.free_in_buffer = d->Out->size();
}

boolean DestGrow(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<TVectorDest*>(cinfo->dest);
    size_t old = d->Out->size();
    try {
        d->Out->resize(old * 2);
    } catch (...) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    d->Mgr.next_output_byte = d->Out->data() + old;
    d->Mgr.free_in_buffer = d->Out->size() - old;
    return TRUE;
}

void DestTerm(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<TVectorDest*>(cinfo->dest);
    d->Out->resize(d->Out->size() - d->Mgr.free_in_buffer);
}

struct TJpegError {
    jpeg_error_mgr Mgr;
    std::jmp_buf Jump;
};

void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->Jump, 1);
}

struct TCompressGuard {
    jpeg_compress_struct* Info;
    ~TCompressGuard() { jpeg_destroy_compress(Info); }
};

} // namespace

uint64_t BmpImageSize(int64_t width, int64_t height, int bits) {
    return kBmpHeadersSize + RowBytes(width, bits) * uint64_t(height);
}

int PlayableBits(int64_t width, int64_t height) {
    if (BmpImageSize(width, height, 24) <= kDecodeBufferSize) return 24;
    if (BmpImageSize(width, height, 16) <= kDecodeBufferSize) return 16;
    return 0;
}

TPayloadEncoder::TPayloadEncoder() = default;
TPayloadEncoder::~TPayloadEncoder() = default;

int TPayloadEncoder::ChooseBits(const TRect& r, TBmpDepth depth, TCompression c) const {
    if (r.IsEmpty()) throw EKivError("An empty region has no payload");
    if (depth == TBmpDepth::Bits24) return 24;
    if (depth == TBmpDepth::Bits16) {
        if (c == ckJpeg) throw EKivError("A JPEG payload decodes to 24 bits per pixel");
        return 16;
    }
    int bits = PlayableBits(r.Width(), r.Height());
    if (bits == 0 || (c == ckJpeg && bits != 24))
        throw EKivError("The region " + std::to_string(r.Width()) + "x" +
                        std::to_string(r.Height()) + " is too large for the player");
    return bits;
}

const std::vector<uint8_t>& TPayloadEncoder::Encode(const TPicture& pic, const TRect& r,
                                                    TCompression c, TBmpDepth depth) {
    int bits = ChooseBits(r, depth, c);
    if (r.Intersect(pic.Bounds()) != r) throw EKivError("The region is outside the picture");
    FLastBits = bits;
    if (c == ckJpeg) {
        EncodeJpeg(pic, r);
        return FOut;
    }
    BuildBmp(nullptr, pic, r, bits);
    return Compress(c);
}

const std::vector<uint8_t>& TPayloadEncoder::EncodeXor(const TPicture& oldPic,
                                                       const TPicture& newPic, const TRect& r,
                                                       TCompression c, TBmpDepth depth) {
    if (c == ckJpeg) throw EKivError("A difference region cannot be a JPEG");
    int bits = ChooseBits(r, depth, c);
    if (r.Intersect(newPic.Bounds()) != r || oldPic.Bounds() != newPic.Bounds())
        throw EKivError("The region is outside the picture");
    FLastBits = bits;
    BuildBmp(&oldPic, newPic, r, bits);
    return Compress(c);
}

void TPayloadEncoder::BuildBmp(const TPicture* oldPic, const TPicture& pic, const TRect& r,
                               int bits) {
    const uint64_t rowBytes = RowBytes(r.Width(), bits);
    const uint64_t imageSize = rowBytes * uint64_t(r.Height());
    const uint64_t total = kBmpHeadersSize + imageSize;
    if (total > 0xFFFFFFFFu) throw EKivError("The bitmap is too large");
    FBmp.resize(total);
    uint8_t* h = FBmp.data();
    std::memset(h, 0, kBmpHeadersSize);
    h[0] = 'B';
    h[1] = 'M';
    StoreLE32(h + 2, uint32_t(total));
    StoreLE32(h + 10, kBmpHeadersSize);
    StoreLE32(h + 14, 40);
    StoreLE32(h + 18, uint32_t(r.Width()));
    StoreLE32(h + 22, uint32_t(r.Height())); // positive: bottom-up rows
    StoreLE16(h + 26, 1);
    StoreLE16(h + 28, uint16_t(bits));
    StoreLE32(h + 34, uint32_t(imageSize));

    const size_t w = size_t(r.Width());
    for (int32_t i = 0; i < r.Height(); ++i) {
        const int32_t y = r.Bottom - 1 - i;
        uint8_t* out = h + kBmpHeadersSize + uint64_t(i) * rowBytes;
        const uint8_t* src = pic.At(r.Left, y);
        const uint8_t* old = oldPic ? oldPic->At(r.Left, y) : nullptr;
        size_t written;
        if (bits == 24) {
            written = w * 3;
            if (old)
                for (size_t k = 0; k < written; ++k)
                    out[k] = src[k] ^ old[k];
            else
                std::memcpy(out, src, written);
        } else {
            written = w * 2;
            for (size_t x = 0; x < w; ++x) {
                uint8_t b = src[x * 3], g = src[x * 3 + 1], rd = src[x * 3 + 2];
                if (old) {
                    b ^= old[x * 3];
                    g ^= old[x * 3 + 1];
                    rd ^= old[x * 3 + 2];
                }
                StoreLE16(out + x * 2, uint16_t(((rd >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)));
            }
        }
        std::memset(out + written, 0, rowBytes - written);
    }
}

const std::vector<uint8_t>& TPayloadEncoder::Compress(TCompression c) {
    switch (c) {
    case ckRaw:
        return FBmp;
    case ckLzo: {
        InitLzo();
        if (FLzoWork.empty())
            FLzoWork.resize((LZO1X_1_MEM_COMPRESS + sizeof(uint64_t) - 1) / sizeof(uint64_t));
        FOut.resize(FBmp.size() + FBmp.size() / 16 + 64 + 3);
        lzo_uint outLen = FOut.size();
        if (lzo1x_1_compress(FBmp.data(), FBmp.size(), FOut.data(), &outLen, FLzoWork.data()) !=
            LZO_E_OK)
            throw EKivError("LZO compression failed");
        FOut.resize(outLen);
        return FOut;
    }
    case ckZlib: {
        FOut.resize(compressBound(uLong(FBmp.size())));
        uLongf outLen = FOut.size();
        if (compress2(FOut.data(), &outLen, FBmp.data(), uLong(FBmp.size()), ZlibLevel) != Z_OK)
            throw EKivError("zlib compression failed");
        FOut.resize(outLen);
        return FOut;
    }
    default:
        throw EKivError("Unknown compression kind " + std::to_string(int(c)));
    }
}

namespace {

// Rows go bottom row first for the player's decoder, top row first for a file.
void CompressJpeg(const TPicture& pic, const TRect& r, int quality, bool bottomUp,
                  std::vector<uint8_t>& out) {
    jpeg_compress_struct info{};
    TJpegError err{};
    TVectorDest dest{};
    info.err = jpeg_std_error(&err.Mgr);
    err.Mgr.error_exit = ErrorExit;
    jpeg_create_compress(&info);
    TCompressGuard guard{&info};
    if (setjmp(err.Jump)) throw EKivError("JPEG compression failed");

    dest.Out = &out;
    dest.Mgr.init_destination = DestInit;
    dest.Mgr.empty_output_buffer = DestGrow;
    dest.Mgr.term_destination = DestTerm;
    info.dest = &dest.Mgr;
    info.image_width = JDIMENSION(r.Width());
    info.image_height = JDIMENSION(r.Height());
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    JSAMPROW rows[32];
    while (info.next_scanline < info.image_height) {
        JDIMENSION n = 0;
        for (; n < 32 && info.next_scanline + n < info.image_height; ++n) {
            const int32_t line = int32_t(info.next_scanline + n);
            const int32_t y = bottomUp ? r.Bottom - 1 - line : r.Top + line;
            rows[n] = const_cast<JSAMPROW>(pic.At(r.Left, y));
        }
        jpeg_write_scanlines(&info, rows, n);
    }
    jpeg_finish_compress(&info);
}

} // namespace

void TPayloadEncoder::EncodeJpeg(const TPicture& pic, const TRect& r) {
    CompressJpeg(pic, r, JpegQuality, true, FOut);
}

std::vector<uint8_t> EncodeJpegFile(const TPicture& pic, int quality) {
    std::vector<uint8_t> out;
    CompressJpeg(pic, pic.Bounds(), quality, false, out);
    return out;
}

} // namespace kiv::synth
