// TPreviewReader: what the recording shows at a time, for the seek slider's
// hover, answered by a thread of its own.
#pragma once

#include "platform/thread.h"
#include "preview/previews.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kiv {

class TKeyFramePicture;
class TNailPictures;

class TPreviewReader : public IPreviews, private TThread {
public:
    using TOptions = TPreviewOptions;

    explicit TPreviewReader(TReady ready) : TPreviewReader(std::move(ready), TOptions{}) {}
    TPreviewReader(TReady ready, TOptions options);
    // Gives up a read under way and waits for the thread.
    ~TPreviewReader() override;

    // Any thread. The recording now open (empty: none); its index or thumbnail
    // index is read at once, the previous recording's pictures are dropped.
    void SetAddress(std::string address) override;
    // Any thread. Asks for the preview at ms; supersedes every earlier request,
    // and a read under way for another picture is given up. Returns its number.
    uint64_t Request(uint32_t ms) override;
    // Any thread. No answer comes for the requests made so far.
    void Cancel() override;

    // For tests and benchmarks: pictures answered from the cache, and decoded.
    uint64_t CacheHits() const { return FCacheHits.load(); }
    uint64_t Decoded() const { return FDecoded.load(); }

protected:
    void Execute() override;

private:
    // Which picture: a thumbnail's or a key frame's time.
    struct TPictureKey {
        TPreviewFrom From = TPreviewFrom::TimeOnly;
        uint32_t Time = 0;
        bool operator==(const TPictureKey&) const = default;
    };
    struct TCached {
        TPictureKey Key;
        std::shared_ptr<const TBitmap24> Picture;
    };

    void Reopen(const std::string& address);
    void Answer(uint64_t number, uint32_t ms);
    TPictureKey KeyOf(uint32_t ms);
    std::shared_ptr<const TBitmap24> Decode(const TPictureKey& key);
    std::shared_ptr<const TBitmap24> FromCache(const TPictureKey& key);
    bool Wanted(uint64_t number);
    // Under FLock: the picture a request for ms will need, from the published times.
    TPictureKey GuessKey(uint32_t ms) const;

    const TReady FReady;
    const TOptions FOptions;
    std::atomic<bool> FAbort{false};    // set by any thread, cleared by the reader
    std::atomic<bool> FQuitting{false}; // set by the destructor

    std::mutex FLock;
    std::string FAddress;        // guarded by FLock
    uint64_t FAddressNumber = 0; // guarded by FLock; grows with every SetAddress
    uint64_t FNewest = 0;        // guarded by FLock; the last request's number
    uint32_t FNewestMs = 0;      // guarded by FLock
    uint64_t FCancelledUpTo = 0; // guarded by FLock
    bool FBusy = false;          // guarded by FLock: a picture is being read
    TPictureKey FBusyKey;        // guarded by FLock
    TPreviewFrom FTimesFrom = TPreviewFrom::TimeOnly; // guarded by FLock
    std::vector<uint32_t> FTimes;                     // guarded by FLock: ascending picture times

    // The reader's thread only.
    uint64_t FOpenedNumber = 0;
    uint64_t FAnswered = 0;
    std::unique_ptr<TKeyFramePicture> FKeys;
    std::unique_ptr<TNailPictures> FNails;
    std::list<TCached> FCache; // most recently used first

    std::atomic<uint64_t> FCacheHits{0};
    std::atomic<uint64_t> FDecoded{0};
};

// Live and multicast sources have no pictures to look back at.
bool PreviewTimeOnly(const std::string& address);

} // namespace kiv
