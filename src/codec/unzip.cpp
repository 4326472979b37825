// The exported decoder functions, in their C++ and C forms, and the process-wide JPEG
// scratch state.
#include "codec/compression.h"
#include "codec/jpeg_glue.h"
#include "codec/kivdecoder.h"
#include "codec/lzo_block.h"
#include "codec/scratch_stream.h"

#include "platform/byte_order.h"
#include "platform/error.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>

namespace kiv {

namespace {

constexpr const char* kUnit = "KivPlayer/KivPlayer";

constexpr const char* kJpegCorrupt = "JPEG 文件被损坏";
constexpr const char* kOutputTooSmall = "输出缓冲区太小";
constexpr const char* kJpegFailed = "JPEG 解压缩失败";
constexpr const char* kUnsupportedKind = "不支持这种图象压缩格式!";
constexpr const char* kZlibTooSmall = "ZLib error: target buffer may be too small";
constexpr const char* kZlibError = "Error";

// Larger than any sample record can be; refusing it keeps the scratch copy bounded.
constexpr uint32_t kMaxJpegPayload = 64u << 20;
// The file header's size field sits at bytes 2..5.
constexpr uint32_t kSizeFieldEnd = 6;

// The decoder lock serialises every use of the scratch stream; it also guards the
// reference count and the stream's existence, so the exported calls stay race-free even
// when hosts do not keep to one thread for setting up and tearing down.
std::mutex gDecoderLock;
int32_t gRefCount = 0;
std::unique_ptr<TScratchStream> gScratch;

int32_t CopyRaw(const uint8_t* src, uint32_t len, uint8_t* dst, uint32_t capacity) {
    if (len > capacity) throw EKivError(kOutputTooSmall);
    std::memmove(dst, src, len);
    return static_cast<int32_t>(len);
}

class TInflater {
public:
    TInflater() = default;
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;
    ~TInflater() {
        if (FOpen) inflateEnd(&FStream);
    }

    // Inflates the whole stream in one call; the zlib result code.
    int Run(const uint8_t* src, uint32_t len, uint8_t* dst, uint32_t capacity) {
        FStream.next_in = const_cast<Bytef*>(src);
        FStream.avail_in = len;
        FStream.next_out = dst;
        FStream.avail_out = capacity;
        const int rc = inflateInit(&FStream);
        if (rc != Z_OK) return rc;
        FOpen = true;
        return inflate(&FStream, Z_FINISH);
    }

private:
    z_stream FStream{};
    bool FOpen = false;
};

int32_t Inflate(const uint8_t* src, uint32_t len, uint8_t* dst, uint32_t capacity) {
    // The result is read from the image's size field, which must lie inside the buffer.
    if (capacity < kSizeFieldEnd) throw EKivError(kZlibTooSmall);
    TInflater inflater;
    switch (inflater.Run(src, len, dst, capacity)) {
    case Z_STREAM_END:
        return static_cast<int32_t>(LoadLE32(dst + 2));
    case Z_BUF_ERROR: // with Z_FINISH: the end was not reached
        throw EKivError(kZlibTooSmall);
    default:
        throw EKivError(kZlibError);
    }
}

int32_t DecodeJpegPayload(const uint8_t* src, uint32_t len, uint8_t* dst, uint32_t capacity) {
    std::lock_guard<std::mutex> lock(gDecoderLock);
    KIV_ASSERT(gScratch != nullptr, kUnit); // InitDecoder has not been called
    if (len > kMaxJpegPayload) throw EKivError(kJpegCorrupt);
    gScratch->Load(src, len);

    TJpegFrameInfo frame;
    if (!ReadJpegHeader(frame, *gScratch) || frame.Width == 0 || frame.Height == 0)
        throw EKivError(kJpegCorrupt);
    const uint64_t pixelOffset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
    const uint64_t total = pixelOffset + frame.ImageSize;
    if (total > capacity) throw EKivError(kOutputTooSmall);

    std::memset(dst, 0, kBitmapFileHeaderSize);
    dst[0] = 'B';
    dst[1] = 'M';
    StoreLE32(dst + 2, static_cast<uint32_t>(total));
    StoreLE32(dst + 10, static_cast<uint32_t>(pixelOffset));
    StoreBitmapInfoHeader(frame, dst + kBitmapFileHeaderSize);
    // Top-down rows: the stored height is negative.
    StoreLE32(dst + 22, static_cast<uint32_t>(-static_cast<int64_t>(frame.Height)));

    uint8_t* lastRow = dst + pixelOffset + frame.RowSize * (frame.Height - 1);
    if (!DecodeJpeg(*gScratch, lastRow, frame)) throw EKivError(kJpegFailed);
    return static_cast<int32_t>(total);
}

// Copies as much of text as fits, never half a UTF-8 character, and the NUL.
void CopyMessage(const char* text, char* message, size_t messageSize) {
    if (message == nullptr || messageSize == 0) return;
    size_t n = std::strlen(text);
    if (n >= messageSize) {
        n = messageSize - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(message, text, n);
    message[n] = '\0';
}

// Runs one decoder call for a C caller: every exception ends here as a code.
template <class F> int32_t Guarded(char* message, size_t messageSize, F&& call) noexcept {
    try {
        call();
        CopyMessage("", message, messageSize);
        return KIV_DECODER_OK;
    } catch (const EKivError& e) {
        CopyMessage(e.what(), message, messageSize);
        return KIV_DECODER_FAILED;
    } catch (const std::bad_alloc&) {
        CopyMessage("out of memory", message, messageSize);
        return KIV_DECODER_NO_MEMORY;
    } catch (const std::exception& e) {
        CopyMessage(e.what(), message, messageSize);
        return KIV_DECODER_INTERNAL;
    } catch (...) {
        CopyMessage("unknown failure", message, messageSize);
        return KIV_DECODER_INTERNAL;
    }
}

constexpr const char* kLzoDamaged = "LZO1X data damaged";

} // namespace

} // namespace kiv

extern "C" {

bool InitDecoder(void) {
    try {
        std::lock_guard<std::mutex> lock(kiv::gDecoderLock);
        ++kiv::gRefCount;
        if (!kiv::gScratch) kiv::gScratch = std::make_unique<kiv::TScratchStream>();
        return true;
    } catch (...) {
        return false;
    }
}

bool UninitDecoder(void) {
    std::lock_guard<std::mutex> lock(kiv::gDecoderLock);
    if (--kiv::gRefCount == 0) kiv::gScratch.reset();
    return true;
}

int32_t UnZipBuffer(const uint8_t* source, uint32_t sourceLength, int16_t kind, uint8_t* dest,
                    uint32_t destCapacity) {
    if (source == nullptr || sourceLength == 0) return 0;
    switch (kind) {
    case kiv::ckLzo: {
        const int32_t len =
            sourceLength > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())
                ? -1
                : static_cast<int32_t>(sourceLength);
        return kiv::DecompressBounded(source, len, dest, destCapacity);
    }
    case kiv::ckZlib:
        KIV_ASSERT(dest != nullptr, kiv::kUnit);
        return kiv::Inflate(source, sourceLength, dest, destCapacity);
    case kiv::ckRaw:
        KIV_ASSERT(dest != nullptr, kiv::kUnit);
        return kiv::CopyRaw(source, sourceLength, dest, destCapacity);
    case kiv::ckJpeg:
        KIV_ASSERT(dest != nullptr, kiv::kUnit);
        return kiv::DecodeJpegPayload(source, sourceLength, dest, destCapacity);
    default:
        throw kiv::EKivError(kiv::kUnsupportedKind);
    }
}

bool CheckKivFileHeader(const uint8_t* header) {
    return header != nullptr && header[0] == 'K' && header[1] == 'Q';
}

int32_t Decompress(const uint8_t* source, int32_t sourceLength, uint8_t* dest) {
    return kiv::DecompressBounded(source, sourceLength, dest, kiv::kDecompressCapacity);
}

int32_t InitDecoderC(char* message, size_t messageSize) {
    return kiv::Guarded(message, messageSize, [] {
        if (!InitDecoder()) throw std::bad_alloc();
    });
}

int32_t UninitDecoderC(char* message, size_t messageSize) {
    return kiv::Guarded(message, messageSize, [] { UninitDecoder(); });
}

int32_t UnZipBufferC(const uint8_t* source, uint32_t sourceLength, int16_t kind, uint8_t* dest,
                     uint32_t destCapacity, int32_t* written, char* message, size_t messageSize) {
    if (written) *written = 0;
    return kiv::Guarded(message, messageSize, [&] {
        const int32_t n = UnZipBuffer(source, sourceLength, kind, dest, destCapacity);
        if (n < 0) throw kiv::EKivError(kiv::kLzoDamaged);
        if (written) *written = n;
    });
}

int32_t CheckKivFileHeaderC(const uint8_t* header, bool* isKiv, char* message, size_t messageSize) {
    if (isKiv) *isKiv = false;
    return kiv::Guarded(message, messageSize, [&] {
        if (header == nullptr) throw kiv::EKivError("no header");
        const bool kq = CheckKivFileHeader(header);
        if (isKiv) *isKiv = kq;
    });
}

int32_t DecompressC(const uint8_t* source, int32_t sourceLength, uint8_t* dest, int32_t* written,
                    char* message, size_t messageSize) {
    if (written) *written = 0;
    return kiv::Guarded(message, messageSize, [&] {
        const int32_t n = Decompress(source, sourceLength, dest);
        if (n < 0) throw kiv::EKivError(kiv::kLzoDamaged);
        if (written) *written = n;
    });
}

} // extern "C"
