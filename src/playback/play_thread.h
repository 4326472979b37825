// The thread that turns buffered samples into pictures: the play clock, seeking
// by key frame, forward scan, and trimming the frames buffer as it plays.
#pragma once

#include "buffers/play_context.h"
#include "platform/event.h"
#include "platform/kiv_messages.h"
#include "platform/thread.h"
#include "platform/window_target.h"
#include "playback/back_buffer.h"
#include "playback/play_clock.h"
#include "playback/range_decoder.h"
#include "playback/sample_drawer.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace kiv {

// When the phases of the last seek outside the buffer ended (steady clock, ns):
// where a seek's time goes, for the benchmarks. Written by the play thread.
struct TSeekTimes {
    std::atomic<int64_t> Taken{0};    // the request taken off the queue
    std::atomic<int64_t> Reset{0};    // the reading thread reset and sent on
    std::atomic<int64_t> KeyFrame{0}; // the key frame decoded
    std::atomic<int64_t> DrawTo{0};   // the reading thread's answer taken
    std::atomic<int64_t> Composed{0}; // the key frame composed onto the picture
    std::atomic<int64_t> Drawn{0};    // the picture told to the window
};

class TPlayThread : public TThread, public TWindowTarget {
public:
    static constexpr int32_t kMinRate = 250, kMaxRate = 16000; // thousandths
    // Playing keeps at most this much decoded ahead of the picture.
    static constexpr uint32_t kPlayAheadBytes = 2 << 20;
    static constexpr size_t kPlayAheadSamples = 64;
    // dumpPath: where the frames listing goes when the buffer is found inconsistent.
    TPlayThread(TPlayContext* context, std::shared_ptr<TPlayClock> clock, std::string dumpPath);
    ~TPlayThread() override;

    // Starts the thread; returns once its queue takes messages.
    void Start();
    // Quits and waits for the thread. Idempotent.
    void Destroy();

    void Play();
    void Pause(); // waits for the thread to have paused
    void Stop();  // waits for the thread to have stopped
    void ScanForward();
    void SetPosition(uint32_t ms);
    void Repaint();
    // Goes on from where a stepping clock stood.
    void Continue() { TThread::Post(WM_CONTINUE, 0, 0); }
    // The rate of playing, in thousandths (250 to 16000); takes effect at once,
    // also in the middle of a gap, without moving the position.
    void SetRate(int32_t thousandths);
    // Idle stretches (no change for longer than thresholdMs) play in capMs each.
    void SetIdleSkipping(bool on, uint32_t thresholdMs, uint32_t capMs);

    bool Post(uint32_t msg, intptr_t wParam, intptr_t lParam) override {
        return TThread::Post(msg, wParam, lParam);
    }

    uint32_t CurrentPosition() const { return FCurrentPosition.load(); }
    // Samples passed over because they failed to decode or compose.
    uint32_t SkippedSamples() const { return FDrawer.SkippedSamples(); }
    int32_t CurrentIndex() const { return FCurrentIndex.load(); }
    // How far the last sample drawn was behind the clock, recording ms.
    uint32_t Lag() const { return FLag.load(); }
    bool Playing() const { return FPlaying.load(); }
    const TSeekTimes& SeekTimes() const { return FSeekTimes; }
    // Null until the thread has created it; read the picture under its lock.
    TBackBuffer* BackBuffer() { return &FDrawer.BackBuffer(); }

protected:
    void Execute() override;

private:
    void Dispatch(const TMessage& m);
    void DrawSampleOneByOne();
    void DrawSample(const uint8_t* sample, bool decoded);
    void TrimIfFull();
    // Ends a seek's decoding of the regions as they arrive, before anything that may
    // change the frames buffer.
    void EndFollowing();
    // Playing: the second thread's image of the held sample (at index in the frames,
    // count as that thread counts), or null for this thread to decode it. The sample
    // after it may be decoded here meanwhile: nextPrepared.
    void TakeHeld(int32_t index, size_t count, const uint8_t*& image, uint32_t& size,
                  bool& nextPrepared);
    // wParam the position, lParam how many requests the answer covers.
    void AnswerPosition(uint32_t requests);
    // WM_PLAYPOSITION now, or once kPositionNoticeMs have passed since the last.
    void TellPosition();
    // Before waiting until tick for a sample: a position held back is told on time.
    bool WaitForPositionNotice(uint32_t tick, uint32_t sampleTime);
    void DrawSamples(int32_t first, int32_t last);
    void PostChangedRect(bool full);
    void HandleSetPosition(uint32_t target);
    void PrepareSeekKeyFrame();
    void HandleDrawTo(int32_t index);
    void HandleStop();
    void StartClock(uint32_t position);
    void StopClock(uint32_t position);
    uint32_t ClockReading();
    bool MessageWaiting();
    // The clock's factor in thousandths: twice normal while scanning, else the rate.
    int64_t Factor() const { return FSpeed == 2 ? 2000 : FRate; }
    // When the held sample lies in an idle stretch, the clock is moved on so that
    // the stretch lasts the cap.
    void SkipIdleBefore(uint32_t sampleTime);
    void PostToWindow(uint32_t msg, intptr_t wParam, intptr_t lParam);
    void PostCommand(uint32_t msg, bool wait);

    TPlayContext* FContext; // not owned
    std::shared_ptr<TPlayClock> FClock;
    std::string FDumpPath;
    TKivFileHeader FHeader;                    // copied at creation
    std::atomic<uint32_t> FCurrentPosition{0}; // written by the thread
    std::atomic<int32_t> FCurrentIndex{-1};    // written by the thread
    int32_t FRequestedKeyTime = -1;            // thread
    bool FClockRunning = false;                // thread
    uint32_t FStartTick = 0;                   // thread
    uint32_t FStartPosition = 0;               // thread
    std::atomic<bool> FPlaying{false};         // written by the thread
    int32_t FSpeed = 1;                        // thread: 2 while scanning
    int32_t FRate = 1000;                      // thread: thousandths
    std::atomic<bool> FSkipIdle{false};        // set by any thread; WM_SETIDLE follows
    std::atomic<uint32_t> FIdleThreshold{2000};
    std::atomic<uint32_t> FIdleCap{500};
    uint32_t FIdleSkipped = UINT32_MAX; // thread: the end of the stretch skipped last
    uint32_t FDrawnTick = 0;            // thread: clock tick of the last sample drawn
    std::atomic<uint32_t> FLag{0};      // written by the thread
    uint32_t FPositionRequests = 0;     // thread: WM_SETPOSITION taken, merged ones too
    bool FDrawToExpected = false;       // thread: a WM_DRAWTO will answer a request
    uint32_t FDrawToRequests = 0;       // thread: the requests that WM_DRAWTO answers
    uint32_t FDrawToTarget = 0;         // thread: the position they asked for
    bool FInPieces = false;             // thread: a segment past the buffer's bound is drawn
    bool FEndTold = false;              // thread: WM_PLAYEDTOEND posted since the last draw
    bool FHoldTold = false;             // thread: WM_CLOCKHELD posted since the last draw
    bool FStandTold = false;            // thread: WM_PICTURESTANDS posted since the last draw
    bool FPositionHeld = false;         // thread: a drawn position not told yet
    bool FPositionTold = false;         // thread: FPositionTick is set
    uint32_t FPositionTick = 0;         // thread: clock tick of the last WM_PLAYPOSITION
    TSeekTimes FSeekTimes;              // written by the thread
    // Its pointer is set for good before the thread starts: the frames buffer's
    // listener tells it of arrivals.
    const std::unique_ptr<TRangeDecoder> FRangeDecoder = std::make_unique<TRangeDecoder>();
    bool FFollowing = false; // thread: FRangeDecoder follows a seek's reading
    TEvent FCommandEvent;
    TSampleDrawer FDrawer; // the back buffer in it is read by the control under its lock
    bool FDestroyed = false;
};

} // namespace kiv
