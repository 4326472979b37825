#include "playback/range_decoder.h"

#include "codec/kivdecoder.h"
#include "format/kiv_format.h"
#include "platform/byte_order.h"

#include <algorithm>

namespace kiv {
namespace {

bool Decodable(const uint8_t* sample) {
    const uint8_t kind = SampleKind(sample);
    return SampleLength(sample) > 0 &&
           (kind == skDifference || kind == skReplacement || kind == skPointer);
}

} // namespace

TRangeDecoder::TRangeDecoder() : FThread([this] { Run(); }) {}

TRangeDecoder::~TRangeDecoder() {
    {
        std::lock_guard guard(FLock);
        FQuit = true;
    }
    FWork.notify_all();
    FThread.join();
}

void TRangeDecoder::Begin(std::vector<const uint8_t*> samples, uint32_t budget) {
    {
        std::lock_guard guard(FLock);
        // Pages never written cost nothing: a range uses what its images need.
        if (!FRing) FRing = std::make_unique_for_overwrite<uint8_t[]>(kBudget);
        FSamples.assign(samples.begin(), samples.end());
        FImages.assign(FSamples.size(), TImage{});
        FFirst = FNext = 0;
        FBudget = std::min(budget, kBudget);
        FHead = 0;
        FActive = true;
    }
    FWork.notify_one();
}

void TRangeDecoder::Append(const uint8_t* sample) {
    {
        std::lock_guard guard(FLock);
        if (!FActive) return;
        FSamples.push_back(sample);
        FImages.emplace_back();
    }
    FWork.notify_one();
}

void TRangeDecoder::Release(size_t i) {
    const size_t before = FFirst;
    for (; FFirst < i && !FImages.empty(); ++FFirst) {
        FImages.pop_front();
        FSamples.pop_front();
    }
    FNext = std::max(FNext, FFirst);
    if (FFirst != before) FWork.notify_one(); // room in the ring
}

const uint8_t* TRangeDecoder::Take(size_t i, uint32_t& size) {
    std::unique_lock guard(FLock);
    if (!FActive || i < FFirst || i >= FFirst + FSamples.size()) return nullptr;
    Release(i);
    // Not begun: the caller decodes it itself, so that both threads decode, and
    // this one goes on after it.
    if (!FImages.front().Done && FNext <= i) {
        FNext = i + 1;
        FWork.notify_one();
        return nullptr;
    }
    FDone.wait(guard, [&] { return FImages.front().Done; });
    size = FImages.front().Size;
    return size ? FRing.get() + FImages.front().Offset : nullptr;
}

void TRangeDecoder::End() {
    std::unique_lock guard(FLock);
    FActive = false;
    FWork.notify_one();
    FDone.wait(guard, [&] { return !FBusy; });
    FSamples.clear();
    FImages.clear();
}

TRangeDecoder::TSpan TRangeDecoder::FreeSpan() const {
    // Images are released in order: the oldest one holding bytes is the ring's tail.
    const auto oldest =
        std::find_if(FImages.begin(), FImages.end(), [](const TImage& m) { return m.Size > 0; });
    if (oldest == FImages.end()) return {0, FBudget};
    const uint32_t tail = oldest->Offset;
    if (FHead <= tail) return {FHead, tail - FHead}; // wrapped: between head and tail
    // Up to the end, or wrapping to the start.
    return FBudget - FHead >= tail ? TSpan{FHead, FBudget - FHead} : TSpan{0, tail};
}

void TRangeDecoder::Run() {
    std::unique_lock guard(FLock);
    for (;;) {
        // Room for a quarter of the budget before a decode begins: an image seldom
        // fails to fit then.
        FWork.wait(guard, [&] {
            return FQuit || (FActive && FNext < FFirst + FSamples.size() &&
                             FreeSpan().Length >= FBudget / 4);
        });
        if (FQuit) return;
        const size_t i = FNext++;
        bool current = true;
        if (Decodable(FSamples[i - FFirst])) {
            FBusy = true;
            current = Decode(guard, i);
            FBusy = false;
        }
        if (current) FImages[i - FFirst].Done = true;
        FDone.notify_all();
    }
}

bool TRangeDecoder::Decode(std::unique_lock<std::mutex>& guard, size_t i) {
    const uint8_t* sample = FSamples[i - FFirst];
    // Only this thread takes ring bytes, and releasing frees more: the span stays free.
    const TSpan span = FreeSpan();
    uint8_t* out = FRing.get() + span.At;
    guard.unlock();
    const TSampleHeader h = ParseSampleHeader(sample);
    // Any failure, too little room included, is left to the play thread, which
    // decodes it into a buffer of its own and meets damage as drawing always has.
    uint32_t size = 0;
    try {
        const int32_t written = UnZipBuffer(sample + kSampleHeaderSize, h.Length,
                                            static_cast<int16_t>(h.Compression), out, span.Length);
        // Only an image whose size field its bytes hold is handed on.
        size = written >= 14 ? LoadLE32(out + 2) : 0;
        if (size < 14 || size > static_cast<uint32_t>(written)) size = 0;
    } catch (const std::exception&) {
        size = 0;
    }
    guard.lock();
    if (!Current(i)) return false;
    if (size == 0) return true;
    FImages[i - FFirst].Offset = span.At;
    FImages[i - FFirst].Size = size;
    FHead = span.At + size;
    return true;
}

} // namespace kiv
