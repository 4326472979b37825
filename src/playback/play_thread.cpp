#include "playback/play_thread.h"

#include "codec/kivdecoder.h"
#include "platform/debug_log.h"
#include "platform/error.h"
#include "platform/kiv_messages.h"
#include "sources/fill_thread.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace kiv {

namespace {

void Stamp(std::atomic<int64_t>& at) {
    at.store(std::chrono::duration_cast<std::chrono::nanoseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
                 .count(),
             std::memory_order_relaxed);
}

} // namespace

TPlayThread::TPlayThread(TPlayContext* context, std::shared_ptr<TPlayClock> clock,
                         std::string dumpPath)
    : FContext(context), FClock(std::move(clock)), FDumpPath(std::move(dumpPath)),
      FHeader(context->Header), FDrawer(FHeader, context->KeyFrames) {
    FDrawer.BackBuffer().SetHelper(FRangeDecoder.get());
}

TPlayThread::~TPlayThread() {
    Destroy();
}

void TPlayThread::Start() {
    TThread::Start();
    FCommandEvent.Wait();
    // A play loop that ran dry wakes when the reading thread delivers.
    FContext->Frames.SetListener([this] {
        Wake();
        FRangeDecoder->Arrived();
    });
}

void TPlayThread::Destroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    FContext->Frames.SetListener({});
    if (!Quit()) DebugOutput("PostThreadMessage ErrorCode=1444");
    WaitFor();
}

void TPlayThread::PostCommand(uint32_t msg, bool wait) {
    if (!TThread::Post(msg, 0, 0)) {
        char line[96];
        std::snprintf(line, sizeof line, "PostThreadMessage Error:%d, ThreadID=%d", 1444,
                      ThreadId());
        DebugOutput(line);
        return;
    }
    // A thread that ended meanwhile (a failed range draw) never answers.
    while (wait && !FCommandEvent.Wait(100))
        if (Finished()) break;
}

void TPlayThread::Play() {
    PostCommand(WM_PLAY, false);
}
void TPlayThread::Pause() {
    PostCommand(WM_PAUSE, true);
}
void TPlayThread::Stop() {
    PostCommand(WM_STOPPLAY, true);
}
void TPlayThread::ScanForward() {
    TThread::Post(WM_SCANFORWARD, 0, 0);
}
void TPlayThread::SetPosition(uint32_t ms) {
    TThread::Post(WM_SETPOSITION, ms, 0);
}
void TPlayThread::Repaint() {
    TThread::Post(WM_REPAINT, 0, 0);
}
void TPlayThread::SetRate(int32_t thousandths) {
    TThread::Post(WM_SETRATE, thousandths, 0);
}
void TPlayThread::SetIdleSkipping(bool on, uint32_t thresholdMs, uint32_t capMs) {
    FIdleThreshold = thresholdMs;
    FIdleCap = capMs;
    FSkipIdle = on;
    TThread::Post(WM_SETIDLE, 0, 0);
}

void TPlayThread::PostToWindow(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    if (FContext->Window) FContext->Window->Post(msg, wParam, lParam);
}

bool TPlayThread::MessageWaiting() {
    TMessage m;
    return PeekMessage(m);
}

void TPlayThread::Execute() {
    FCommandEvent.Signal();
    TMessage m;
    try {
        while (GetMessage(m))
            Dispatch(m);
    } catch (const std::exception& e) {
        DebugLog(std::string("TPlayThread.Execute Error: ") + e.what());
    }
    EndFollowing();
    FCommandEvent.Signal(); // whoever waits for a pause or stop is released
}

void TPlayThread::Dispatch(const TMessage& m) {
    // Whatever else comes may change the buffer the second thread reads.
    if (m.Msg != WM_DRAWTO) EndFollowing();
    switch (m.Msg) {
    case WM_PLAY:
        FPlaying = true;
        FSpeed = 1;
        FClockRunning = false; // restarts at the next sample
        FEndTold = false;
        DrawSampleOneByOne();
        break;
    case WM_PAUSE:
        FPlaying = false;
        FClockRunning = false;
        // A live server keeps sending while nothing plays: ask it to hold, or the
        // frames buffer fills up to its limit. The next read sends "Start" again.
        if (auto* fill = FContext->FillThread; fill && fill->SourceKind() == skLive) fill->Stop();
        FCommandEvent.Signal();
        break;
    case WM_STOPPLAY:
        HandleStop();
        FCommandEvent.Signal();
        break;
    case WM_SETPOSITION: {
        // Only the newest of the waiting position requests counts.
        auto target = static_cast<uint32_t>(m.WParam);
        TMessage last;
        const size_t merged = RemoveMessages(WM_SETPOSITION, last);
        if (merged) target = static_cast<uint32_t>(last.WParam);
        FPositionRequests += static_cast<uint32_t>(1 + merged);
        FEndTold = FHoldTold = false;
        HandleSetPosition(target);
        break;
    }
    case WM_DRAWTO:
        HandleDrawTo(static_cast<int32_t>(m.WParam));
        break;
    case WM_SCANFORWARD:
        // Rebase so that scanning runs at twice the rate from where the clock stands.
        if (FClockRunning) StartClock(ClockReading());
        FSpeed = 2;
        FPlaying = true;
        DrawSampleOneByOne();
        break;
    case WM_CONTINUE:
        if (FPlaying) DrawSampleOneByOne();
        break;
    case WM_REPAINT:
        PostChangedRect(true);
        if (FPlaying) DrawSampleOneByOne();
        break;
    case WM_SETRATE:
        // From the recording time the clock reads now: the position does not move.
        if (FClockRunning) StartClock(ClockReading());
        FRate = std::clamp(static_cast<int32_t>(m.WParam), kMinRate, kMaxRate);
        if (FPlaying) DrawSampleOneByOne();
        break;
    case WM_SETIDLE:
        FIdleSkipped = UINT32_MAX;
        if (FPlaying) DrawSampleOneByOne();
        break;
    default:
        break;
    }
}

void TPlayThread::StartClock(uint32_t position) {
    FClockRunning = true;
    FStartTick = FClock->Now();
    FStartPosition = position;
}

void TPlayThread::StopClock(uint32_t position) {
    FClockRunning = false;
    FStartPosition = position;
}

uint32_t TPlayThread::ClockReading() {
    // The start may lie ahead of now: an idle stretch shortened.
    const int64_t elapsed = static_cast<int32_t>(FClock->Now() - FStartTick);
    const int64_t reading = int64_t{FStartPosition} + elapsed * Factor() / 1000;
    // Past 2^32 the reading wraps as time stamps are compared (by their 32-bit
    // difference): held at the top, a sample stamped after a wrap would never
    // come due and the play loop would spin.
    return reading < 0 ? 0 : static_cast<uint32_t>(reading);
}

void TPlayThread::SkipIdleBefore(uint32_t sampleTime) {
    if (!FSkipIdle || !FClockRunning) return;
    TIdleStretch stretch;
    if (!FContext->Activity.IdleStretchAt(FCurrentPosition, FIdleThreshold, stretch)) return;
    if (sampleTime > stretch.To || stretch.To == FIdleSkipped) return;
    FIdleSkipped = stretch.To;
    // The stretch's end comes the cap after its start was drawn (or now, when
    // skipping was turned on later than that), and the clock runs on from there.
    const uint32_t due = FDrawnTick + FIdleCap, now = FClock->Now();
    FStartTick = static_cast<int32_t>(due - now) > 0 ? due : now;
    FStartPosition = stretch.To;
}

void TPlayThread::DrawSampleOneByOne() {
    auto& frames = FContext->Frames;
    const uint8_t* held = nullptr;
    bool prepared = false;          // the held sample is decoded already
    const uint8_t* image = nullptr; // its image, when the second thread decoded it
    uint32_t imageSize = 0;
    bool nextPrepared = false; // the sample after the held one is decoded here already
    // The samples after the held one, key frames too, are decoded on a second thread
    // as they come: handed counts those given to it, taken those drawn or passed over
    // since.
    FRangeDecoder->Begin({}, kPlayAheadBytes, &FContext->KeyFrames);
    struct TEnd {
        TRangeDecoder& Decoder;
        ~TEnd() { Decoder.End(); }
    } end{*FRangeDecoder};
    size_t handed = 0, taken = 0;
    auto handOn = [&] {
        // In batches: at 1 time the other thread wakes once for many samples.
        if (handed - taken > kPlayAheadSamples / 2) return;
        const int32_t count = frames.Count();
        for (auto i = FCurrentIndex + 1 + static_cast<int32_t>(handed - taken);
             i < count && handed - taken < kPlayAheadSamples; ++i, ++handed)
            FRangeDecoder->Append(frames.Sample(i));
    };
    auto waitMessage = [this](TPlayClock::TDeadline d) { return WaitMessageUntil(d); };
    auto waitCommand = [this] { WaitMessageUntil(TMessageQueue::TClock::time_point::max()); };
    try {
        while (!MessageWaiting()) {
            if (!held) {
                // Read before the count: a source read through has delivered everything.
                TFillThread* fill = FContext->FillThread;
                const bool exhausted = fill && fill->Exhausted();
                int32_t next = FCurrentIndex + 1;
                if (next < frames.Count()) held = frames.Sample(next);
                prepared = held && nextPrepared;
                nextPrepared = false;
                image = nullptr;
                if (!held && exhausted) {
                    if (!FEndTold) PostToWindow(WM_PLAYEDTOEND, FCurrentPosition, 0);
                    FEndTold = true;
                    waitCommand(); // a stop or seek rewinds the source first
                    continue;
                }
            }
            if (!held) {
                if (FContext->FillThread) FContext->FillThread->Fill(-1);
                WaitMessageFor(100); // woken early by a sample arriving
                continue;
            }
            handOn();
            const uint32_t time = SampleTimeStamp(held);
            if (FClock->Holds(time)) {
                if (!FHoldTold) PostToWindow(WM_CLOCKHELD, time, 0);
                FHoldTold = true;
                waitCommand();
                continue;
            }
            if (FClockRunning && static_cast<int32_t>(ClockReading() - time) < 0) {
                // Decoding while the sample is not yet due keeps it on time when due.
                if (!prepared) {
                    prepared = true;
                    try {
                        TakeHeld(FCurrentIndex + 1, taken, image, imageSize, nextPrepared);
                        if (!image) FDrawer.Decode(held);
                    } catch (const std::exception& e) {
                        // Passed over now; the next sample keeps its own time.
                        FCurrentIndex = FCurrentIndex + 1;
                        FCurrentPosition = time;
                        FDrawer.Skip(held, "DrawSampleOneByOne", e);
                        TrimIfFull();
                        held = nullptr;
                        ++taken;
                    }
                    continue;
                }
                SkipIdleBefore(time);
                if (static_cast<int32_t>(ClockReading() - time) >= 0) continue; // due now
                // Due when the reading reaches the time stamp.
                const int64_t ahead = time - ClockReading();
                const auto tick =
                    FClock->Now() + static_cast<uint32_t>((ahead * 1000 + Factor() - 1) / Factor());
                if (WaitForPositionNotice(tick, time)) continue;
                if (FClock->Steps(time) && !FStandTold) {
                    // The host reads the picture while this thread waits for the word
                    // to go on; the picture stood from the last draw until tick.
                    FStandTold = true;
                    PostToWindow(WM_PICTURESTANDS, FDrawnTick, tick);
                    FClock->WaitUntil(tick, time, waitMessage);
                    // Only a message ends it: a sample arriving wakes the wait too.
                    while (!MessageWaiting())
                        waitCommand();
                    continue;
                }
                FClock->WaitUntil(tick, time, waitMessage);
                continue;
            }
            FCurrentIndex = FCurrentIndex + 1;
            FCurrentPosition = time;
            FEndTold = FHoldTold = FStandTold = false;
            const bool starting = !FClockRunning;
            if (starting) StartClock(time);
            const int32_t late = static_cast<int32_t>(ClockReading() - time);
            FClock->Drawn(time, late);
            // Late samples are drawn back to back, none passed over: when decoding
            // cannot keep up, the picture falls behind the clock by this much.
            FLag = static_cast<uint32_t>(std::max(late, 0));
            FDrawnTick = FClock->Now();
            try {
                if (!prepared) TakeHeld(FCurrentIndex, taken, image, imageSize, nextPrepared);
                if (image)
                    FDrawer.DrawDecoded(held, image, imageSize);
                else
                    DrawSample(held, prepared);
            } catch (const std::exception& e) {
                FDrawer.Skip(held, "DrawSampleOneByOne", e);
            }
            // The clock runs from when the first picture is up: drawing it (a key
            // frame decoded at the start) does not make the samples after it late.
            if (starting) {
                StartClock(time);
                FDrawnTick = FClock->Now();
            }
            if (SampleKind(held) == skMarker) PostToWindow(WM_MARKERPASSED, time, 0);
            TrimIfFull();
            PostChangedRect(false);
            TellPosition();
            held = nullptr;
            image = nullptr;
            ++taken;
        }
    } catch (const std::exception& e) {
        DebugLog(std::string("TPlayThread.DrawSampleOneByOne raise:") + e.what());
    }
}

void TPlayThread::TakeHeld(int32_t index, size_t count, const uint8_t*& image, uint32_t& size,
                           bool& nextPrepared) {
    // Before waiting for the second thread, decode the sample after the held one
    // here, when that one is not begun there. Key frames are left to it: the cache
    // keeps few large ones.
    const uint8_t* next = FContext->Frames.Sample(index + 1);
    if (next && SampleKind(next) != skKeyFrame && FRangeDecoder->Claim(count + 1)) {
        try {
            FDrawer.Decode(next);
            nextPrepared = true;
        } catch (const std::exception&) {
            // Drawn in its turn, which meets the damage again and reports it.
        }
    }
    image = FRangeDecoder->Take(count, size);
    // The held one is then decoded here, into the buffer the next one is in.
    if (!image) nextPrepared = false;
}

void TPlayThread::EndFollowing() {
    if (!FFollowing) return;
    FFollowing = false;
    FRangeDecoder->End();
}

void TPlayThread::TrimIfFull() {
    int32_t index = FCurrentIndex;
    if (!FContext->Frames.Trim(index)) return;
    FCurrentIndex = index;
    if (FContext->FillThread) FContext->FillThread->Fill(-1);
}

void TPlayThread::TellPosition() {
    const uint32_t now = FClock->Now();
    if (FPositionTold && now - FPositionTick < kPositionNoticeMs) {
        FPositionHeld = true;
        return;
    }
    PostToWindow(WM_PLAYPOSITION, FCurrentPosition, 0);
    FPositionTold = true;
    FPositionTick = now;
    FPositionHeld = false;
}

bool TPlayThread::WaitForPositionNotice(uint32_t tick, uint32_t sampleTime) {
    if (!FPositionHeld) return false;
    const uint32_t due = FPositionTick + kPositionNoticeMs;
    if (static_cast<int32_t>(tick - due) <= 0) return false; // the sample comes first
    if (!FClock->WaitUntil(due, sampleTime,
                           [this](TPlayClock::TDeadline d) { return WaitMessageUntil(d); }))
        TellPosition();
    return true;
}

void TPlayThread::AnswerPosition(uint32_t requests) {
    PostToWindow(WM_POSITIONANSWERED, FCurrentPosition, requests);
}

void TPlayThread::DrawSample(const uint8_t* sample, bool decoded) {
    if (FDrawer.Draw(sample, decoded)) PostToWindow(WM_SAMPLENOTICE, 0, 0);
}

void TPlayThread::DrawSamples(int32_t first, int32_t last) {
    auto& frames = FContext->Frames;
    const int32_t count = frames.Count();
    if (last == -1) last = count - 1;
    if (last >= count || first < 0) return;
    // A range of more than a few samples has its regions decoded on a second
    // thread while this one composes.
    const bool ahead = last - first >= 2;
    // A seek's regions may be decoding since they arrived: that range goes on.
    if (FFollowing && ahead && first == 0) {
        FFollowing = false;
        FRangeDecoder->StopFollowing(static_cast<size_t>(last) + 1);
    } else {
        EndFollowing();
        if (ahead) {
            std::vector<const uint8_t*> samples;
            for (int32_t i = first; i <= last; ++i)
                if (const uint8_t* sample = frames.Sample(i))
                    samples.push_back(sample);
                else
                    break;
            FRangeDecoder->Begin(std::move(samples));
        }
    }
    // The second thread lets go of the samples however this draw ends.
    struct TEnd {
        TRangeDecoder* Decoder;
        ~TEnd() {
            if (Decoder) Decoder->End();
        }
    } end{ahead ? FRangeDecoder.get() : nullptr};
    for (int32_t i = first; i <= last; ++i) {
        TMessage m;
        // Only commands that change what is shown cut a range draw short: a seek
        // stopped by a queued repaint or continue would be answered at a picture
        // short of its target. Those two run once the draw is done.
        if (PeekMessage(m) && m.Msg != WM_SETPOSITION && m.Msg != WM_REPAINT &&
            m.Msg != WM_CONTINUE)
            break;
        const uint8_t* sample = frames.Sample(i);
        if (!sample) break;
        FCurrentIndex = i;
        FCurrentPosition = SampleTimeStamp(sample);
        if (!(SampleKind(sample) == skPointer && SampleLength(sample) == 0)) {
            try {
                uint32_t size = 0;
                const uint8_t* image =
                    ahead ? FRangeDecoder->Take(static_cast<size_t>(i - first), size) : nullptr;
                if (image)
                    FDrawer.DrawDecoded(sample, image, size);
                else
                    DrawSample(sample, false);
            } catch (const std::exception& e) {
                FDrawer.Skip(sample, "DrawSamples", e);
            }
            if (i == first) Stamp(FSeekTimes.Composed);
            std::this_thread::yield();
        }
    }
    Stamp(FSeekTimes.Drawn);
    PostChangedRect(false);
}

void TPlayThread::PostChangedRect(bool full) {
    TRect r;
    if (full) {
        r = {0, 0, FContext->Header.Width, FContext->Header.Height};
    } else {
        r = FDrawer.TakeChangedRect();
    }
    PostToWindow(WM_PICTURECHANGED, PackPoint(r.Left, r.Top), PackPoint(r.Right, r.Bottom));
}

void TPlayThread::HandleSetPosition(uint32_t target) {
    // Time stamps stay below 2^31; a larger (or negative) request would reach the
    // reading thread as "no target" and never be answered.
    target = std::min<uint32_t>(target, INT32_MAX);
    if (FInPieces) {
        // The buffer holds the middle of a segment drawn in pieces: start over
        // from the index. The piece's answer, if it came already, is dropped.
        if (auto* fill = FContext->FillThread) fill->Reset();
        TMessage stale;
        RemoveMessages(WM_DRAWTO, stale);
        FInPieces = false;
        FCurrentIndex = -1;
        FRequestedKeyTime = -1;
    }
    auto& frames = FContext->Frames;
    auto& index = FContext->IndexTable;
    uint32_t t = FHeader.Duration ? std::min(target, FHeader.Duration) : target;
    const int32_t b = frames.FindSample(t, false);
    // With nothing buffered b and the index are both -1: that is no sample shown.
    if (b >= 0 && b == FCurrentIndex) {
        StartClock(target);
        if (FPlaying) TThread::Post(WM_CONTINUE, 0, 0);
        AnswerPosition(FPositionRequests);
        return;
    }
    const uint32_t currentKey = index.FloorTime(FCurrentPosition);
    const uint32_t destKey = index.FloorTime(t);
    uint32_t keyTime = destKey;
    const int32_t c = frames.FindSample(keyTime, true);
    if (b != -1) {
        if (currentKey == destKey) {
            if (b > FCurrentIndex)
                DrawSamples(FCurrentIndex + 1, b);
            else
                DrawSamples(c, b);
        } else if (c != -1) {
            DrawSamples(c, b);
        } else {
            char line[256];
            std::snprintf(line, sizeof line,
                          "Abnormal buffer：MinTimeStamp=%d, DestKeyTime=%d, msTime=%d, "
                          "MaxTimeStamp=%d, FCurrentIndex=%d, FCurrentPosition=%d",
                          static_cast<int>(frames.FirstTimeStamp()), static_cast<int>(destKey),
                          static_cast<int>(target), static_cast<int>(frames.LastTimeStamp()),
                          FCurrentIndex.load(), static_cast<int>(FCurrentPosition.load()));
            DebugLog(line);
            frames.DumpToFile(FDumpPath);
        }
        StartClock(target);
        PostToWindow(WM_POSITIONCHANGED, target, 0);
        AnswerPosition(FPositionRequests);
        if (FPlaying) TThread::Post(WM_CONTINUE, 0, 0);
        return;
    }
    auto* fill = FContext->FillThread;
    const uint8_t kind = fill ? fill->SourceKind() : 0;
    bool seeking = false, drawToComing = false;
    if (c != -1) {
        int32_t current = std::max<int32_t>(FCurrentIndex, c);
        frames.DropBeforeKeyFrame(current);
        FCurrentIndex = current;
        DrawSamples(0, -1);
        if (fill) fill->Fill(static_cast<int32_t>(target));
        drawToComing = fill != nullptr;
    } else if (kind == skLocalFile || kind == skHttp) {
        // A seek to the same key frame under way answers this request too.
        if (static_cast<int32_t>(destKey) != FRequestedKeyTime) {
            Stamp(FSeekTimes.Taken);
            fill->Reset();
            FInPieces = false;
            fill->Seek(static_cast<int32_t>(target));
            Stamp(FSeekTimes.Reset);
            FCurrentIndex = -1;
            FRequestedKeyTime = static_cast<int32_t>(destKey);
            seeking = true;
        }
        drawToComing = true;
    } else if (target >= frames.FirstTimeStamp() && FPlaying) {
        TThread::Post(WM_CONTINUE, 0, 0);
    }
    StopClock(FCurrentPosition);
    PostToWindow(WM_POSITIONCHANGED, FCurrentPosition, 0);
    if (drawToComing) {
        FDrawToExpected = true;
        FDrawToRequests = FPositionRequests;
        FDrawToTarget = target;
    } else {
        AnswerPosition(FPositionRequests);
    }
    if (seeking) {
        PrepareSeekKeyFrame();
        Stamp(FSeekTimes.KeyFrame);
    }
}

void TPlayThread::PrepareSeekKeyFrame() {
    // While the reading thread reads on to the target, decode the key frame it starts
    // from: the range draw that answers the seek then finds it in the cache.
    auto& frames = FContext->Frames;
    const auto deadline = TMessageQueue::TClock::now() + std::chrono::seconds(1);
    while (!MessageWaiting()) {
        if (const uint8_t* first = frames.Sample(0)) {
            if (SampleKind(first) != skKeyFrame) return;
            // The regions arriving meanwhile are decoded on the second thread.
            FRangeDecoder->Follow(frames, FDrawToTarget);
            FFollowing = true;
            try {
                FDrawer.Decode(first);
            } catch (const std::exception&) {
                // The range draw meets the same damage and reports it.
            }
            return;
        }
        // Woken by the first sample arriving.
        if (!WaitMessageUntil(deadline) && TMessageQueue::TClock::now() >= deadline) return;
    }
}

void TPlayThread::HandleDrawTo(int32_t index) {
    Stamp(FSeekTimes.DrawTo);
    // A target before the first sample comes as -1: there is nothing to draw.
    // The buffer begins with a key frame, unless a segment is drawn in pieces:
    // then drawing goes on after what is drawn.
    if (index >= 0) DrawSamples(FInPieces ? FCurrentIndex + 1 : 0, index);
    EndFollowing();
    FInPieces = false;
    // A segment larger than the frames buffer: the reader stopped at its bound
    // short of the target. What is drawn goes, and the reader reads on.
    auto& frames = FContext->Frames;
    TFillThread* fill = FContext->FillThread;
    if (FDrawToExpected && fill && !fill->Exhausted() && !frames.HasRoom() &&
        FCurrentPosition < FDrawToTarget && FCurrentIndex == frames.Count() - 1 &&
        !MessageWaiting()) {
        int32_t current = FCurrentIndex;
        frames.Trim(current);
        FCurrentIndex = current;
        if (frames.HasRoom()) {
            FInPieces = true;
            fill->Fill(static_cast<int32_t>(FDrawToTarget));
            return;
        }
    }
    FRequestedKeyTime = -1;
    if (FPlaying) {
        StartClock(FCurrentPosition);
        TThread::Post(WM_CONTINUE, 0, 0);
    }
    PostToWindow(WM_POSITIONCHANGED, FCurrentPosition, 0);
    if (FDrawToExpected) AnswerPosition(FDrawToRequests);
    FDrawToExpected = false;
}

void TPlayThread::HandleStop() {
    FPlaying = false;
    FClockRunning = false;
    FStartTick = 0;
    FStartPosition = 0;
    if (auto* fill = FContext->FillThread) {
        fill->Stop();
        fill->Reset();
    }
    FCurrentPosition = 0;
    FCurrentIndex = -1;
    // The reset cut short any seek under way: its answer will never come.
    FRequestedKeyTime = -1;
    FEndTold = FHoldTold = false;
    FInPieces = false;
    if (FDrawToExpected) AnswerPosition(FDrawToRequests);
    FDrawToExpected = false;
}

} // namespace kiv
