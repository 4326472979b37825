#include "preview/key_frame_picture.h"

#include "codec/kivdecoder.h"
#include "format/recording_reader.h"
#include "platform/byte_order.h"
#include "platform/dib_reader.h"
#include "platform/error.h"

namespace kiv {

namespace {

constexpr size_t kKeptPayloadBytes = 8u << 20;

} // namespace

TKeyFramePicture::TKeyFramePicture(std::unique_ptr<TByteStream> stream)
    : FStream(std::move(stream)), FDecoded(new uint8_t[kDecodeBufferSize]) {
    TOpenedRecording opened = OpenRecording(*FStream);
    if (opened.Code != 0) throw EKivError(opened.Text);
    FHeader = opened.Header;
    for (const TIndexEntry& e : opened.Entries) {
        FIndex.AddEntry(e);
        FKeyTimes.push_back(e.TimeStamp);
    }
}

bool TKeyFramePicture::Fail(std::string text) {
    FFailure = std::move(text);
    return false;
}

bool TKeyFramePicture::Read(uint32_t keyTime, TBitmap24& picture) {
    const uint64_t offset = FIndex.PositionOf(keyTime);
    const uint64_t areaEnd = FHeader.HeaderPosition;
    if (offset + kSampleHeaderSize > areaEnd) return Fail("key frame outside the sample area");
    uint8_t head[kSampleHeaderSize];
    FStream->Seek(static_cast<int64_t>(kFileHeaderSize + offset), soBeginning);
    if (FStream->ReadFull(head, kSampleHeaderSize) != static_cast<int32_t>(kSampleHeaderSize))
        return Fail("key frame header cut short");
    const TSampleHeader h = ParseSampleHeader(head);
    if (h.Kind != skKeyFrame) return Fail("no key frame at the index's offset");
    if (h.Length == 0 || h.Length > kMaxRecordSize ||
        offset + kSampleHeaderSize + h.Length > areaEnd)
        return Fail("key frame length out of bounds");
    if (FPayload.size() < h.Length) FPayload.resize(h.Length);
    if (FStream->ReadFull(FPayload.data(), static_cast<int32_t>(h.Length)) !=
        static_cast<int32_t>(h.Length))
        return Fail("key frame cut short");
    int32_t size = 0;
    try {
        size = UnZipBuffer(FPayload.data(), h.Length, static_cast<int16_t>(h.Compression),
                           FDecoded.get(), kDecodeBufferSize);
    } catch (const EKivError& e) {
        return Fail(e.what());
    }
    // An unusually large record's block is not kept for the next one.
    if (FPayload.size() > kKeptPayloadBytes) FPayload = {};
    if (size <= 0) return Fail("key frame does not decode");
    // The image's own size when the buffer holds it, else all the buffer may.
    const uint32_t stated = LoadLE32(FDecoded.get() + 2);
    const size_t imageSize =
        stated >= 14 && stated <= kDecodeBufferSize ? stated : kDecodeBufferSize;
    // Not a picture the player would set up: an RLE image may claim any size in a few bytes.
    TDibInfo info;
    if (ReadDibInfo(FDecoded.get(), imageSize, info))
        if (const char* why = PictureSizeProblem(info.Width, info.AbsHeight(), FHeader))
            return Fail(why);
    const TDibResult r = DecodeDib(FDecoded.get(), imageSize, picture);
    if (!r) return Fail(r.Text);
    return true;
}

} // namespace kiv
