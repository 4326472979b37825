// The reading thread of an opened file or web recording. It works only on
// request: open, read more (or towards a target time), seek, stop, reset.
#pragma once

#include "buffers/play_context.h"
#include "format/record_cutter.h"
#include "platform/byte_stream.h"
#include "platform/event.h"
#include "platform/kiv_messages.h"
#include "platform/read_progress.h"
#include "platform/thread.h"
#include "sources/source_kind.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kiv {

class TInternetStream;

class TFillThread : public TThread, public TWindowTarget {
public:
    explicit TFillThread(TPlayContext* context);
    // Owners call Destroy first; destroying a thread still running ends it too.
    ~TFillThread() override;

    // Starts the thread and returns once its queue takes messages.
    void Start();
    // Ends the thread (aborting a read under way) and waits for it. Idempotent.
    void Destroy();
    // From any thread: a read under way gives up, and so does every later one.
    void Abort() { FAborting = true; }

    void Open(const std::string& address);
    // Reads more; a target (ms) makes it post WM_DRAWTO when it gets there. A plain
    // request while a pass runs is dropped.
    void Fill(int32_t target);
    void Seek(int32_t target);
    // Waits until the reading thread has rewound.
    void Reset();
    // Waits at most 3 s.
    void Stop();

    bool Post(uint32_t msg, intptr_t wParam, intptr_t lParam) override {
        return TThread::Post(msg, wParam, lParam);
    }

    // Told with every open result, so a result from a freed thread can be ignored.
    intptr_t Tag() const { return FTag; }
    uint8_t SourceKind() const { return FSourceKind.load(); }
    const std::string& Address() const { return FAddress; }
    int32_t BitRate() const { return FBitRate.load(); }
    uint32_t BufferUsed() const { return FBufferUsed.load(); }
    bool Reading() const { return FReading.load(); }
    // True once the sample area has been read to its end (or its last record).
    bool Exhausted() const { return FExhausted.load(); }
    // True when reading ended at a record whose size cannot be real.
    bool Damaged() const { return FDamaged.load(); }
    // The bytes of a record that the end of the sample area cut short (set before
    // Exhausted); 0 when the sample area ended between records.
    uint32_t CutShort() const { return FCutShort.load(); }
    // What the source has brought so far, a read under way included: a slow
    // answer is progress before it ends.
    const TReadProgress& Progress() const { return FProgress; }
    // Counts handled read requests; hosts wait for the next one.
    uint64_t Passes() const;
    // Waits until more than `seen` read requests were handled; false at the time-out.
    bool WaitPass(uint64_t seen, int64_t timeoutMs) const;
    // Called on the reading thread after every read request handled, so that a
    // reader without a play thread can wait for passes and samples at once.
    void SetPassListener(std::function<void()> listener);

protected:
    void Execute() override;
    virtual void HandleRead(int32_t target);
    virtual void HandleSeek(int32_t target);
    virtual void HandleReset();
    virtual void HandleStop();
    virtual void HandleOpen();

    // A waiting message other than a plain request for more data.
    bool Interrupted();
    void PostOpenResult(int code);
    void PostDrawTo(int32_t index);

    TPlayContext* FContext;               // not owned
    TEvent FEvent;                        // the queue takes messages
    std::string FAddress;                 // set before WM_OPEN is posted
    std::unique_ptr<TByteStream> FStream; // reading thread
    TInternetStream* FHttp = nullptr;     // FStream when it is HTTP; reading thread
    TRecordCutter FCutter;                // the work buffer; reading thread
    int64_t FDataStart = 0;               // reading thread
    std::atomic<bool> FDamaged{false};    // a record too large to be real
    std::atomic<uint32_t> FCutShort{0};   // bytes of a record past the sample area's end
    std::atomic<bool> FAborting{false};   // set by Destroy; aborts an HTTP read under way
    std::atomic<uint8_t> FSourceKind{skNone};
    std::atomic<bool> FReading{false};
    std::atomic<bool> FExhausted{false};
    std::atomic<int32_t> FBitRate{0};       // kbit/s of the current pass
    std::atomic<uint32_t> FBufferUsed{0};   // bytes in the work buffer
    uint32_t FStartTick = 0, FLastTick = 0; // reading thread
    int64_t FTotalBytes = 0;                // reading thread
    TReadProgress FProgress;

private:
    // Posts WM_STOP or WM_RESET and waits until the thread has handled that very
    // message; a late answer to an earlier one that timed out does not count.
    void PostAndWait(uint32_t msg, int64_t timeoutMs);
    // The sample area ended inside the record at the work buffer's front.
    void CutShortAtEnd();

    const intptr_t FTag;
    bool FDestroyed = false;
    mutable std::mutex FPassLock;
    mutable std::condition_variable FPassDone;
    uint64_t FPasses = 0;                         // guarded by FPassLock
    std::function<void()> FPassListener;          // guarded by FPassLock
    uint64_t FWaitsPosted = 0, FWaitsHandled = 0; // WM_STOP and WM_RESET; guarded by FPassLock
};

} // namespace kiv
