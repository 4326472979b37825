#include "preview/preview_reader.h"

#include "codec/kivdecoder.h"
#include "control/time_text.h"
#include "platform/debug_log.h"
#include "platform/error.h"
#include "preview/address_stream.h"
#include "preview/key_frame_picture.h"
#include "preview/nail_picture.h"
#include "preview/shrink.h"

#include <algorithm>
#include <strings.h>

namespace kiv {

namespace {

// The only message: "look at the requests again".
constexpr uint32_t WM_PREVIEWWAKE = WM_USER + 0x200;

} // namespace

bool PreviewTimeOnly(const std::string& address) {
    const size_t dot = address.find_last_of('.');
    return strncasecmp(address.c_str(), "KIVS", 4) == 0 ||
           (dot != std::string::npos && strcasecmp(address.c_str() + dot, ".sms") == 0);
}

TPreviewReader::TPreviewReader(TReady ready, TOptions options)
    : FReady(std::move(ready)), FOptions(options) {
    Start();
}

TPreviewReader::~TPreviewReader() {
    FQuitting = true; // the wake-ups still queued are not worth a read
    FAbort = true;
    Quit();
    WaitFor();
}

void TPreviewReader::SetAddress(std::string address) {
    {
        std::lock_guard guard(FLock);
        FAddress = std::move(address);
        ++FAddressNumber;
        FCancelledUpTo = FNewest; // they were about the previous recording
        FTimes.clear();
        FTimesFrom = TPreviewFrom::TimeOnly;
        FAbort = true;
    }
    Post(WM_PREVIEWWAKE);
}

uint64_t TPreviewReader::Request(uint32_t ms) {
    uint64_t number = 0;
    {
        std::lock_guard guard(FLock);
        number = ++FNewest;
        FNewestMs = ms;
        // The same picture is worth finishing; another one is not.
        if (FBusy && !(GuessKey(ms) == FBusyKey)) FAbort = true;
    }
    Post(WM_PREVIEWWAKE);
    return number;
}

void TPreviewReader::Cancel() {
    std::lock_guard guard(FLock);
    FCancelledUpTo = FNewest;
    if (FBusy) FAbort = true;
}

TPreviewReader::TPictureKey TPreviewReader::GuessKey(uint32_t ms) const {
    if (FTimesFrom == TPreviewFrom::TimeOnly || FTimes.empty()) return {};
    const auto after = std::upper_bound(FTimes.begin(), FTimes.end(), ms);
    if (after != FTimes.begin()) return {FTimesFrom, *(after - 1)};
    // Before the first: the first thumbnail, or reading from the start.
    return {FTimesFrom, FTimesFrom == TPreviewFrom::Thumbnail ? FTimes.front() : 0};
}

bool TPreviewReader::Wanted(uint64_t number) {
    std::lock_guard guard(FLock);
    return number == FNewest && number > FCancelledUpTo;
}

void TPreviewReader::Execute() {
    InitDecoder();
    TMessage m;
    while (GetMessage(m) && !FQuitting) {
        TMessage last;
        RemoveMessages(WM_PREVIEWWAKE, last); // one look serves them all
        std::string address;
        uint64_t addressNumber = 0, number = 0;
        uint32_t ms = 0;
        {
            std::lock_guard guard(FLock);
            address = FAddress;
            addressNumber = FAddressNumber;
            number = FNewest;
            ms = FNewestMs;
            FAbort = false; // what set it is seen now
        }
        if (addressNumber != FOpenedNumber) {
            FOpenedNumber = addressNumber;
            Reopen(address);
        }
        if (number > FAnswered && Wanted(number)) Answer(number, ms);
    }
    FKeys.reset();
    FNails.reset();
    UninitDecoder();
}

void TPreviewReader::Reopen(const std::string& address) {
    FKeys.reset();
    FNails.reset();
    FCache.clear();
    if (address.empty() || PreviewTimeOnly(address)) return;
    std::vector<uint32_t> times;
    TPreviewFrom from = TPreviewFrom::TimeOnly;
    FNails = std::make_unique<TNailPictures>(address, &FAbort);
    if (!FNails->Empty()) {
        from = TPreviewFrom::Thumbnail;
        times = FNails->Times();
    } else {
        FNails.reset();
        try {
            FKeys = std::make_unique<TKeyFramePicture>(OpenAddressStream(address, &FAbort));
            from = TPreviewFrom::KeyFrame;
            times = FKeys->KeyTimes();
        } catch (const EKivError& e) {
            if (!FAbort) DebugLog(std::string("TPreviewReader open:") + e.what());
            return;
        }
    }
    std::lock_guard guard(FLock);
    if (FAddressNumber != FOpenedNumber) return; // another recording came meanwhile
    FTimesFrom = from;
    FTimes = std::move(times);
    std::sort(FTimes.begin(), FTimes.end());
}

TPreviewReader::TPictureKey TPreviewReader::KeyOf(uint32_t ms) {
    if (FNails) return {TPreviewFrom::Thumbnail, FNails->TimeOf(FNails->NearestAt(ms))};
    if (FKeys) return {TPreviewFrom::KeyFrame, FKeys->KeyTimeAt(ms)};
    return {};
}

std::shared_ptr<const TBitmap24> TPreviewReader::FromCache(const TPictureKey& key) {
    for (auto it = FCache.begin(); it != FCache.end(); ++it) {
        if (it->Key == key) {
            FCache.splice(FCache.begin(), FCache, it);
            return FCache.front().Picture;
        }
    }
    return nullptr;
}

std::shared_ptr<const TBitmap24> TPreviewReader::Decode(const TPictureKey& key) {
    TBitmap24 full;
    const bool ok =
        FNails ? FNails->Read(FNails->NearestAt(key.Time), full) : FKeys->Read(key.Time, full);
    if (!ok) {
        if (!FAbort && FKeys) DebugLog("TPreviewReader key frame:" + FKeys->Failure());
        return nullptr;
    }
    ++FDecoded;
    auto picture = std::make_shared<const TBitmap24>(
        ShrinkPicture(full, FOptions.MaxWidth, FOptions.MaxHeight));
    FCache.push_front({key, picture});
    while (FCache.size() > std::max<size_t>(1, FOptions.CacheEntries))
        FCache.pop_back();
    return picture;
}

void TPreviewReader::Answer(uint64_t number, uint32_t ms) {
    TPreview preview;
    preview.Request = number;
    preview.Time = ms;
    preview.TimeText = TimeText(ms);
    const TPictureKey key = KeyOf(ms);
    if (key.From != TPreviewFrom::TimeOnly) {
        std::shared_ptr<const TBitmap24> picture = FromCache(key);
        if (picture) {
            ++FCacheHits;
        } else {
            {
                std::lock_guard guard(FLock);
                FBusy = true;
                FBusyKey = key;
            }
            picture = Decode(key);
            std::lock_guard guard(FLock);
            FBusy = false;
        }
        // Given up for a newer request: that one's wake-up is queued.
        if (!picture && FAbort) return;
        if (picture) {
            preview.From = key.From;
            preview.PictureTime = key.Time;
            preview.Picture = std::move(picture);
        }
    }
    if (!Wanted(number)) return;
    FAnswered = number;
    FReady(preview);
}

std::unique_ptr<IPreviews> NewPreviews(IPreviews::TReady ready, TPreviewOptions options) {
    return std::make_unique<TPreviewReader>(std::move(ready), options);
}

} // namespace kiv
