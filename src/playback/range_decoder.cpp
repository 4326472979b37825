#include "playback/range_decoder.h"

#include "codec/kivdecoder.h"
#include "format/kiv_format.h"
#include "platform/byte_order.h"

#include <cstring>

namespace kiv {

TRangeDecoder::TRangeDecoder() : FThread([this] { Run(); }) {}

TRangeDecoder::~TRangeDecoder() {
    {
        std::lock_guard guard(FLock);
        FQuit = true;
    }
    FChanged.notify_all();
    FThread.join();
}

bool TRangeDecoder::Decodable(const uint8_t* sample) const {
    const uint8_t kind = SampleKind(sample);
    return SampleLength(sample) > 0 &&
           (kind == skDifference || kind == skReplacement || kind == skPointer);
}

void TRangeDecoder::Begin(std::vector<const uint8_t*> samples) {
    {
        std::lock_guard guard(FLock);
        FSamples = std::move(samples);
        FImages.clear();
        FImages.resize(FSamples.size());
        FNext = FTaken = 0;
        FHeld = 0;
        FActive = true;
    }
    FChanged.notify_all();
}

const uint8_t* TRangeDecoder::Take(size_t i, uint32_t& size) {
    std::unique_lock guard(FLock);
    if (!FActive || i >= FImages.size()) return nullptr;
    for (; FTaken < i; ++FTaken) {
        FHeld -= FImages[FTaken].Size;
        FImages[FTaken] = {};
    }
    // Not begun: the caller decodes it itself, so that both threads decode, and
    // this one goes on after it.
    if (!FImages[i].Done && FNext <= i) {
        FNext = i + 1;
        FChanged.notify_all();
        return nullptr;
    }
    FChanged.notify_all(); // room in the budget
    FChanged.wait(guard, [&] { return FImages[i].Done; });
    size = FImages[i].Size;
    return FImages[i].Bits.get();
}

void TRangeDecoder::End() {
    std::unique_lock guard(FLock);
    FActive = false;
    FChanged.wait(guard, [&] { return !FBusy; });
    FSamples.clear();
    FImages.clear();
    FHeld = 0;
}

void TRangeDecoder::Run() {
    std::unique_lock guard(FLock);
    for (;;) {
        FChanged.wait(guard, [&] {
            return FQuit || (FActive && FNext < FSamples.size() && FHeld < kBudget);
        });
        if (FQuit) return;
        const size_t i = FNext++;
        const uint8_t* sample = FSamples[i];
        TImage image;
        if (Decodable(sample)) {
            FBusy = true;
            guard.unlock();
            Decode(sample, image);
            guard.lock();
            FBusy = false;
        }
        image.Done = true;
        if (FActive && i < FImages.size()) {
            FHeld += image.Size;
            FImages[i] = std::move(image);
        }
        FChanged.notify_all();
    }
}

void TRangeDecoder::Decode(const uint8_t* sample, TImage& image) {
    if (!FScratch) FScratch = std::make_unique_for_overwrite<uint8_t[]>(kDecodeBufferSize);
    const TSampleHeader h = ParseSampleHeader(sample);
    // A failure is left to the play thread, which meets it again and reports it
    // as drawing always has.
    try {
        const int32_t written =
            UnZipBuffer(sample + kSampleHeaderSize, h.Length, static_cast<int16_t>(h.Compression),
                        FScratch.get(), kDecodeBufferSize);
        // Only an image whose size field its bytes hold is copied out.
        const uint32_t size = written >= 14 ? LoadLE32(FScratch.get() + 2) : 0;
        if (size < 14 || size > static_cast<uint32_t>(written)) return;
        image.Bits = std::make_unique_for_overwrite<uint8_t[]>(size);
        std::memcpy(image.Bits.get(), FScratch.get(), size);
        image.Size = size;
    } catch (const std::exception&) {
        image = {};
    }
}

} // namespace kiv
