#include "playback/range_decoder.h"

#include "codec/kivdecoder.h"
#include "format/kiv_format.h"
#include "platform/byte_order.h"

#include <algorithm>
#include <utility>

namespace kiv {

TRangeDecoder::TRangeDecoder() : FThread([this] { Run(); }) {}

TRangeDecoder::~TRangeDecoder() {
    {
        std::lock_guard guard(FLock);
        FQuit = true;
    }
    FWork.notify_all();
    FThread.join();
}

void TRangeDecoder::Begin(std::vector<const uint8_t*> samples, uint32_t budget,
                          TKeyFramesBuffer* keyFrames) {
    {
        std::unique_lock guard(FLock);
        // A decode of an earlier range still under way would land in this one.
        FDone.wait(guard, [&] { return !FBusy; });
        // Pages never written cost nothing: a range uses what its images need.
        if (!FRing) FRing = std::make_unique_for_overwrite<uint8_t[]>(kBudget);
        FSamples.assign(samples.begin(), samples.end());
        FImages.assign(FSamples.size(), TImage{});
        FFirst = FNext = 0;
        FBudget = std::min(budget, kBudget);
        FKeyFrames = keyFrames;
        FFollowed = nullptr;
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

void TRangeDecoder::Follow(TFramesBuffer& frames, uint32_t target) {
    Begin({});
    {
        std::lock_guard guard(FLock);
        FFollowed = &frames;
        FFollowTarget = target;
        FArrived = true; // what is there already
    }
    FWork.notify_one();
}

void TRangeDecoder::Arrived() {
    {
        std::lock_guard guard(FLock);
        if (!FFollowed) return;
        FArrived = true;
    }
    FWork.notify_one();
}

void TRangeDecoder::TakeArrived(std::unique_lock<std::mutex>& guard, int64_t count) {
    TFramesBuffer* frames = FFollowed;
    const size_t from = FFirst + FSamples.size();
    const uint32_t target = FFollowTarget;
    // The buffer is asked outside this lock: its listener takes this lock under its own.
    guard.unlock();
    std::vector<const uint8_t*> arrived;
    bool past = false;
    const int64_t end = count < 0 ? frames->Count() : count;
    for (int64_t k = static_cast<int64_t>(from); k < end; ++k) {
        const uint8_t* sample = frames->Sample(static_cast<int32_t>(k));
        if (!sample || (count < 0 && SampleTimeStamp(sample) > target)) {
            past = sample != nullptr;
            break;
        }
        arrived.push_back(sample);
    }
    guard.lock();
    // Another taking since, or the range ended: theirs stands.
    if (!FActive || from != FFirst + FSamples.size()) return;
    FSamples.insert(FSamples.end(), arrived.begin(), arrived.end());
    FImages.resize(FSamples.size());
    if (past) FFollowed = nullptr; // nothing later is drawn
}

void TRangeDecoder::StopFollowing(size_t count) {
    {
        std::unique_lock guard(FLock);
        if (!FActive) return;
        if (FFollowed) {
            TakeArrived(guard, static_cast<int64_t>(count));
            FFollowed = nullptr;
        }
        while (FFirst + FSamples.size() > std::max(count, FNext)) {
            FSamples.pop_back();
            FImages.pop_back();
        }
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
    // Only a thread waiting for room is woken: one with nothing to do sleeps on.
    if (FFirst != before && CanBegin()) FWork.notify_one();
}

bool TRangeDecoder::CanBegin() const {
    // Room for a quarter of the budget before a decode begins: an image seldom
    // fails to fit then.
    return FActive && FNext < FFirst + FSamples.size() && FreeSpan().Length >= FBudget / 4;
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

bool TRangeDecoder::Claim(size_t i) {
    std::lock_guard guard(FLock);
    if (!FActive || i <= FFirst || i >= FFirst + FSamples.size() || FNext != i) return false;
    FNext = i + 1;
    FImages[i - FFirst].Done = true;
    return true;
}

void TRangeDecoder::End() {
    std::unique_lock guard(FLock);
    FActive = false;
    FFollowed = nullptr;
    FWork.notify_one();
    FDone.wait(guard, [&] { return !FBusy; });
    FSamples.clear();
    FImages.clear();
}

bool TRangeDecoder::Start(std::function<void()> task) {
    {
        std::lock_guard guard(FLock);
        if (FBusy || FTask) return false;
        FTask = std::move(task);
    }
    FWork.notify_one();
    return true;
}

void TRangeDecoder::Wait() {
    std::unique_lock guard(FLock);
    FDone.wait(guard, [&] { return !FTask; });
    if (FTaskError) std::rethrow_exception(std::exchange(FTaskError, nullptr));
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
        FWork.wait(guard, [&] { return FQuit || FTask || (FFollowed && FArrived) || CanBegin(); });
        if (FQuit) return;
        if (FTask) {
            guard.unlock();
            try {
                FTask();
            } catch (...) {
                FTaskError = std::current_exception(); // the caller's to meet
            }
            guard.lock();
            FTask = nullptr;
            FDone.notify_all();
            continue;
        }
        if (FFollowed && FArrived) {
            FArrived = false;
            FBusy = true;
            TakeArrived(guard, -1);
            FBusy = false;
            FDone.notify_all();
            continue;
        }
        const size_t i = FNext++;
        bool current = true;
        if (Decodable(i)) {
            FBusy = true;
            current = SampleKind(FSamples[i - FFirst]) == skKeyFrame ? DecodeKeyFrame(guard, i)
                                                                     : Decode(guard, i);
            FBusy = false;
        }
        if (current) FImages[i - FFirst].Done = true;
        FDone.notify_all();
    }
}

bool TRangeDecoder::Decodable(size_t i) const {
    const uint8_t* sample = FSamples[i - FFirst];
    if (SampleLength(sample) == 0) return false;
    const uint8_t kind = SampleKind(sample);
    if (kind != skKeyFrame)
        return kind == skDifference || kind == skReplacement || kind == skPointer;
    // The cache keeps few large pictures: decoding this one could evict an earlier
    // key frame that is still to be drawn, which would then be decoded twice.
    return FKeyFrames && std::none_of(FSamples.begin(), FSamples.begin() + (i - FFirst),
                                      [](const uint8_t* s) { return SampleKind(s) == skKeyFrame; });
}

bool TRangeDecoder::DecodeKeyFrame(std::unique_lock<std::mutex>& guard, size_t i) {
    const uint8_t* sample = FSamples[i - FFirst];
    TKeyFramesBuffer& cache = *FKeyFrames;
    guard.unlock();
    const TSampleHeader h = ParseSampleHeader(sample);
    bool cached;
    {
        std::lock_guard lock(cache.Lock());
        cached = cache.FindKeyFrame(h.TimeStamp) != nullptr;
    }
    if (!cached) {
        // Decoded outside the cache's lock, which the play thread holds while it
        // composes; a failure is the play thread's to meet when it draws the sample.
        auto image = cache.SpareFor(kDecodeBufferSize);
        try {
            if (UnZipBuffer(sample + kSampleHeaderSize, h.Length,
                            static_cast<int16_t>(h.Compression), image.get(),
                            kDecodeBufferSize) > 0) {
                std::lock_guard lock(cache.Lock());
                if (!cache.FindKeyFrame(h.TimeStamp))
                    cache.AdoptKeyFrame(h, image, kDecodeBufferSize);
            }
        } catch (const std::exception&) {
        }
    }
    guard.lock();
    return Current(i);
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
