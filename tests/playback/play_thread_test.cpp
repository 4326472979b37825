#include "playback/play_thread.h"
#include "sources/fill_thread.h"
#include "support/kiv_script.h"
#include "support/play_harness.h"

#include <gtest/gtest.h>

#include <climits>
#include <condition_variable>
#include <fstream>
#include <sstream>
#include <stdexcept>

using namespace kiv;
using namespace kiv::test;

namespace {

// A reading thread that counts the requests it gets and can leave reads and seeks
// unanswered, so that the test answers in its place.
class TSpyFill : public TFillThread {
public:
    using TFillThread::TFillThread;

    std::atomic<bool> PassReads{true};
    std::atomic<bool> PassSeeks{true};
    std::atomic<int> Resets{0};

    std::vector<int32_t> SeekTargets() {
        std::lock_guard guard(FLock);
        return FSeeks;
    }
    std::vector<int32_t> ReadTargets() {
        std::lock_guard guard(FLock);
        return FReads;
    }
    // Returns once everything posted to the thread before has been handled.
    void Sync() {
        std::unique_lock guard(FLock);
        const uint64_t seen = FSyncs;
        Post(WM_READ, kSyncMark, 0);
        FSynced.wait_for(guard, std::chrono::milliseconds(kGenerous),
                         [&] { return FSyncs > seen; });
    }
    // Answers for a live stream from now on.
    void PretendLive() { FSourceKind = skLive; }

protected:
    void HandleRead(int32_t target) override {
        {
            std::lock_guard guard(FLock);
            if (target == kSyncMark) {
                ++FSyncs;
                FSynced.notify_all();
                return;
            }
            FReads.push_back(target);
        }
        if (PassReads) TFillThread::HandleRead(target);
    }
    void HandleSeek(int32_t target) override {
        {
            std::lock_guard guard(FLock);
            FSeeks.push_back(target);
        }
        if (PassSeeks) TFillThread::HandleSeek(target);
    }
    void HandleReset() override {
        ++Resets;
        TFillThread::HandleReset();
    }

private:
    static constexpr int32_t kSyncMark = INT32_MIN;
    std::mutex FLock;
    std::condition_variable FSynced;
    std::vector<int32_t> FSeeks, FReads; // guarded by FLock
    uint64_t FSyncs = 0;                 // guarded by FLock
};

std::string Describe(const std::vector<TMessage>& messages) {
    std::ostringstream s;
    for (const auto& m : messages) {
        if (s.tellp() > 0) s << "; ";
        if (m.Msg == WM_PICTURECHANGED) {
            TRect r = UnpackRect(m.WParam, m.LParam);
            s << "picture " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
        } else if (m.Msg == WM_POSITIONCHANGED) {
            s << "position " << m.WParam;
        } else if (m.Msg == WM_SAMPLENOTICE) {
            s << "notice";
        } else {
            s << "message " << std::hex << m.Msg << std::dec;
        }
    }
    return s.str();
}

// The sample at 500 is a marker, so that the gate can hold the play thread there.
TScript MarkerScript() {
    return ColumnScript(2, [](TScript& s, uint32_t t) {
        if (t != 500) return false;
        s.Marker(t);
        return true;
    });
}

// 640 x 400, five segments of a raw key frame (768,054 bytes) and nine blocks of 64 x 120:
// three segments are more than the frames buffer keeps.
TScript LargeScript() {
    TScript s(640, 400);
    for (uint32_t k = 0; k < 5; ++k) {
        s.Key(1000 * k, KeyColor(1000 * k));
        for (int32_t i = 1; i <= 9; ++i) {
            const uint32_t t = 1000 * k + 100 * static_cast<uint32_t>(i);
            s.Region(t, skReplacement, {64 * i, 0, 64 * i + 64, 120}, ColumnColor(t));
        }
    }
    return s;
}

class PlayThreadTest : public ::testing::Test {
protected:
    void TearDown() override {
        Window.OpenGate();
        HookRelease.Signal();
        if (Play) Play->Destroy();
        if (Fill) Fill->Destroy();
    }

    // A virtual clock that, with a limit, holds before the first sample past it until
    // HookRelease (Held tells that it got there).
    void UseLimit(int64_t limit) {
        Clock = std::make_shared<TVirtualClock>(limit, [this] {
            Held.Signal();
            HookRelease.Wait();
        });
    }

    // Writes the recording, opens it with the reading thread and starts the play thread.
    void Open(const TScript& script) {
        Script = script;
        const std::string path = Dir.File("r.kiv");
        script.Write(path);
        if (!Clock) Clock = std::make_shared<TVirtualClock>();
        Ctx.Window = &Window;
        Fill = std::make_unique<TSpyFill>(&Ctx);
        Fill->Start();
        Ctx.FillThread = Fill.get();
        Fill->Open(path);
        TMessage m;
        // Thrown: the test cannot go on, and gtest reports it.
        if (!Window.TakeNext(WM_OPENRESULT, m) || m.WParam != 0)
            throw std::runtime_error("the recording did not open");
        Play = std::make_unique<TPlayThread>(&Ctx, Clock, Dir.File("dump.txt"));
        Play->Start();
        Ctx.PlayThread = Play.get();
    }

    // One read pass, as far as the frames buffer takes.
    void ReadOnce() {
        const uint64_t seen = Fill->Passes();
        Fill->Fill(-1);
        if (!Fill->WaitPass(seen, kGenerous)) throw std::runtime_error("no read pass");
    }
    void BufferAll() {
        ReadOnce();
        if (Ctx.Frames.Count() != static_cast<int32_t>(Script.Samples.size()))
            throw std::runtime_error("the recording is not all buffered");
    }

    // Pauses (which waits for the thread) and returns what it posted before.
    std::string Settle() {
        Play->Pause();
        std::vector<TMessage> got;
        TMessage m;
        while (Window.Queue.TryGet(m))
            got.push_back(m);
        return Describe(got);
    }
    // Everything up to the count-th WM_POSITIONCHANGED, then what else comes before a pause
    // (which, posted any earlier, would cut a range draw short).
    std::string UntilPosition(int count = 1) {
        std::vector<TMessage> got;
        TMessage m;
        while (count > 0 && Window.Take(m)) {
            got.push_back(m);
            count -= m.Msg == WM_POSITIONCHANGED;
        }
        std::string rest = Settle();
        return Describe(got) + (rest.empty() ? "" : "; " + rest);
    }
    std::string Seek(uint32_t ms) {
        Play->SetPosition(ms);
        return UntilPosition();
    }
    // A seek that posts nothing.
    std::string SeekShown(uint32_t ms) {
        Play->SetPosition(ms);
        return Settle();
    }
    // The next n messages, whatever they are.
    std::string Next(int n = 1) {
        std::vector<TMessage> got;
        TMessage m;
        while (n-- > 0 && Window.Take(m))
            got.push_back(m);
        return Describe(got);
    }
    // Waits for n more WM_PICTURECHANGED; their rectangles.
    std::vector<TRect> Pictures(int n) {
        std::vector<TRect> rects;
        TMessage m;
        while (n-- > 0 && Window.TakeNext(WM_PICTURECHANGED, m))
            rects.push_back(UnpackRect(m.WParam, m.LParam));
        return rects;
    }

    TBitmap24 Picture() {
        std::lock_guard guard(Play->BackBuffer()->Lock());
        return Play->BackBuffer()->Initialized() ? Play->BackBuffer()->Picture() : TBitmap24{};
    }
    TBitmap24 Expected(uint32_t lastTime) { return Script.Expected(Script.IndexOf(lastTime)); }
    std::string Full() {
        return "picture 0,0," + std::to_string(Script.Width) + "," + std::to_string(Script.Height);
    }

    TScriptDir Dir;
    TWindowLog Window;
    TPlayContext Ctx;
    TScript Script{0, 0};
    std::shared_ptr<TVirtualClock> Clock;
    TEvent Held, HookRelease;
    std::unique_ptr<TSpyFill> Fill;
    std::unique_ptr<TPlayThread> Play;
};

} // namespace

TEST_F(PlayThreadTest, SeeksInsideTheBufferRedrawFromTheRightKeyFrame) {
    Open(ColumnScript());
    BufferAll();

    EXPECT_EQ(Seek(500), Full() + "; position 500");
    EXPECT_TRUE(SamePicture(Picture(), Expected(500)));
    EXPECT_EQ(Play->CurrentIndex(), 5);

    EXPECT_EQ(SeekShown(550), "") << "the sample already shown";

    EXPECT_EQ(Seek(800), "picture 6,0,9,8; position 800") << "only the samples after it";
    EXPECT_TRUE(SamePicture(Picture(), Expected(800)));

    EXPECT_EQ(Seek(300), Full() + "; position 300") << "back to the segment's key frame";
    EXPECT_TRUE(SamePicture(Picture(), Expected(300)));

    EXPECT_EQ(Seek(1450), Full() + "; position 1450") << "reported as requested";
    EXPECT_EQ(Play->CurrentPosition(), 1400u);
    EXPECT_TRUE(SamePicture(Picture(), Expected(1400)));

    EXPECT_EQ(Seek(700), Full() + "; position 700");
    EXPECT_TRUE(SamePicture(Picture(), Expected(700)));

    EXPECT_EQ(Seek(99999), Full() + "; position 99999") << "searched at the duration";
    EXPECT_EQ(Play->CurrentPosition(), 1900u);
    EXPECT_TRUE(SamePicture(Picture(), Expected(1900)));
    EXPECT_EQ(SeekShown(1900), "");
    EXPECT_EQ(Fill->SeekTargets().size(), 0u);
}

TEST_F(PlayThreadTest, TargetPastTheBufferedEndReadsOnAndDrawsWhenTheReaderAnswers) {
    Open(LargeScript());
    ReadOnce();
    const uint32_t last = Ctx.Frames.LastTimeStamp();
    ASSERT_GE(last, 2000u) << "three key frames fill the buffer";
    ASSERT_LT(last + 150, 3000u) << "the test wants a target later in that segment";
    const uint32_t target = last + 150;

    Play->SetPosition(target);
    EXPECT_EQ(Next(2), Full() + "; position " + std::to_string(last))
        << "everything buffered is drawn from the segment's key frame";
    EXPECT_EQ(Next(2), Full() + "; position " + std::to_string(last + 100))
        << "the reading thread's WM_DRAWTO";
    EXPECT_EQ(Ctx.Frames.FirstTimeStamp(), 2000u) << "the earlier segments are dropped";
    EXPECT_EQ(Play->CurrentPosition(), last + 100);
    EXPECT_TRUE(SamePicture(Picture(), Expected(last + 100)));
    EXPECT_EQ(Fill->ReadTargets().back(), static_cast<int32_t>(target));
    EXPECT_EQ(Fill->Resets, 0);
}

TEST_F(PlayThreadTest, UnbufferedTargetSeeksOncePerKeyTimeUntilTheReaderAnswers) {
    Open(ColumnScript(3));
    Fill->PassSeeks = false;

    // Nothing is buffered yet, so even a request for the start must seek.
    EXPECT_EQ(Seek(1500), "position 0");
    EXPECT_EQ(Seek(1500), "position 0");
    EXPECT_EQ(Seek(1700), "position 0");
    Fill->Sync();
    EXPECT_EQ(Fill->Resets, 1);
    EXPECT_EQ(Fill->SeekTargets(), std::vector<int32_t>{1500});

    EXPECT_EQ(Seek(2500), "position 0");
    EXPECT_EQ(Seek(2600), "position 0");
    Fill->Sync();
    EXPECT_EQ(Fill->Resets, 2);
    EXPECT_EQ(Fill->SeekTargets(), (std::vector<int32_t>{1500, 2500}));

    // The reading thread's answer: the segment from its key frame, and where the target is.
    for (size_t i = 20; i < 30; ++i)
        Ctx.Frames.AddSample(Script.Block(i));
    Play->Post(WM_DRAWTO, 6, 0);
    EXPECT_EQ(UntilPosition(), Full() + "; position 2600");
    EXPECT_TRUE(SamePicture(Picture(), Expected(2600)));

    EXPECT_EQ(Seek(2300), Full() + "; position 2300");
    EXPECT_EQ(Seek(1500), "position 2300") << "the answer ended the seek under way";
    Fill->Sync();
    EXPECT_EQ(Fill->Resets, 3);
    EXPECT_EQ(Fill->SeekTargets(), (std::vector<int32_t>{1500, 2500, 1500}));
    EXPECT_EQ(Ctx.Frames.Count(), 0);
    EXPECT_EQ(Play->CurrentIndex(), -1);
}

// Stop resets the reading thread, which drops a seek still reading (its WM_DRAWTO never
// comes), but the play thread still counts that key time as requested.
// Fix: play_thread.cpp, TPlayThread::HandleStop, add FRequestedKeyTime = -1.
TEST_F(PlayThreadTest, StopForgetsASeekUnderWay) {
    Open(ColumnScript());
    Fill->PassSeeks = false; // the seek's read was cut short by the stop
    EXPECT_EQ(Seek(1500), "position 0");
    Play->Stop();
    EXPECT_EQ(Seek(1500), "position 0");
    Fill->Sync();
    EXPECT_EQ(Fill->SeekTargets(), (std::vector<int32_t>{1500, 1500}))
        << "a position request after Stop must seek";
}

TEST_F(PlayThreadTest, LiveSourceIsNeverAskedToSeek) {
    Open(ColumnScript());
    Fill->PassReads = false;
    Fill->PretendLive();
    for (size_t i = 11; i <= 15; ++i)
        Ctx.Frames.AddSample(Script.Block(i));
    EXPECT_EQ(Seek(500), "position 0") << "before the buffered range";
    EXPECT_EQ(Seek(1700), "position 0") << "after it";
    Fill->Sync();
    EXPECT_EQ(Fill->Resets, 0);
    EXPECT_TRUE(Fill->SeekTargets().empty());
    EXPECT_EQ(Ctx.Frames.Count(), 5);
}

TEST_F(PlayThreadTest, DrawToBelowZeroDrawsNothingButEndsTheSeekAndResumes) {
    Open(ColumnScript());
    Fill->PassSeeks = false;
    Fill->PassReads = false;
    EXPECT_EQ(Seek(1500), "position 0");
    Play->Post(WM_DRAWTO, -1, 0);
    EXPECT_EQ(Settle(), "position 0");
    EXPECT_EQ(Seek(1500), "position 0");
    Fill->Sync();
    EXPECT_EQ(Fill->SeekTargets(), (std::vector<int32_t>{1500, 1500}));

    // While playing, the play loop starts again and asks for data. A seek request stops
    // it first (and its reset waits for the reads asked before).
    Play->Play();
    ASSERT_TRUE(Fill->WaitPass(Fill->Passes(), kGenerous));
    Play->SetPosition(500);
    TMessage m;
    ASSERT_TRUE(Window.TakeNext(WM_POSITIONCHANGED, m));
    const uint64_t seen = Fill->Passes();
    Play->Post(WM_DRAWTO, -1, 0);
    ASSERT_TRUE(Window.TakeNext(WM_POSITIONCHANGED, m));
    EXPECT_EQ(m.WParam, 0);
    EXPECT_TRUE(Fill->WaitPass(seen, kGenerous));
    EXPECT_TRUE(Window.Skipped.empty()) << Describe(Window.Skipped);
}

TEST_F(PlayThreadTest, OnlyTheLastOfSeveralWaitingPositionsIsUsed) {
    UseLimit(450);
    Open(ColumnScript());
    BufferAll();
    Play->Play();
    ASSERT_TRUE(Held.Wait(kGenerous));
    Play->SetPosition(1200);
    Play->SetPosition(300);
    Play->SetPosition(1700);
    HookRelease.Signal();
    EXPECT_EQ(UntilPosition(), Full() +
                                   "; picture 1,0,2,8; picture 2,0,3,8; picture 3,0,4,8; "
                                   "picture 4,0,5,8; " +
                                   Full() + "; position 1700");
    EXPECT_EQ(Play->CurrentPosition(), 1700u);
    EXPECT_TRUE(SamePicture(Picture(), Expected(1700)));
}

TEST_F(PlayThreadTest, PauseArrivingDuringARangeDrawStopsItAfterTheCurrentSample) {
    Open(MarkerScript());
    BufferAll();
    Window.Arm(WM_SAMPLENOTICE);
    Play->SetPosition(900);
    ASSERT_TRUE(Window.Reached.Wait(kGenerous));
    Play->Post(WM_PAUSE, 0, 0);
    Window.Release.Signal();
    EXPECT_EQ(Next(3), "notice; " + Full() + "; position 900");
    Play->Repaint();
    EXPECT_EQ(Next(), Full());
    EXPECT_EQ(Play->CurrentIndex(), 5);
    EXPECT_EQ(Play->CurrentPosition(), 500u);
    EXPECT_TRUE(SamePicture(Picture(), Expected(500)));
}

TEST_F(PlayThreadTest, StopArrivingDuringARangeDrawLeavesThePictureAndForgetsThePosition) {
    Open(MarkerScript());
    BufferAll();
    Window.Arm(WM_SAMPLENOTICE);
    Play->SetPosition(900);
    ASSERT_TRUE(Window.Reached.Wait(kGenerous));
    Play->Post(WM_STOPPLAY, 0, 0);
    Window.Release.Signal();
    EXPECT_EQ(Next(3), "notice; " + Full() + "; position 900");
    Play->Repaint();
    EXPECT_EQ(Next(), Full());
    EXPECT_EQ(Play->CurrentIndex(), -1);
    EXPECT_EQ(Play->CurrentPosition(), 0u);
    EXPECT_EQ(Ctx.Frames.Count(), 0) << "the reading thread was reset";
    EXPECT_TRUE(SamePicture(Picture(), Expected(500)));
}

TEST_F(PlayThreadTest, WaitingPositionDoesNotStopARangeDraw) {
    Open(MarkerScript());
    BufferAll();
    EXPECT_EQ(Seek(200), Full() + "; position 200");
    Window.Arm(WM_SAMPLENOTICE);
    Play->SetPosition(900);
    ASSERT_TRUE(Window.Reached.Wait(kGenerous));
    Play->SetPosition(300);
    Window.Release.Signal();
    EXPECT_EQ(UntilPosition(2),
              "notice; picture 3,0,10,8; position 900; " + Full() + "; position 300");
    EXPECT_TRUE(SamePicture(Picture(), Expected(300)));
}

TEST_F(PlayThreadTest, WaitingRepaintOrContinueDoesNotStopARangeDraw) {
    // Cut short, the seek would be answered at a picture before its target.
    Open(MarkerScript());
    BufferAll();
    Window.Arm(WM_SAMPLENOTICE);
    Play->SetPosition(900);
    ASSERT_TRUE(Window.Reached.Wait(kGenerous));
    Play->Post(WM_CONTINUE, 0, 0);
    Play->Repaint();
    Window.Release.Signal();
    EXPECT_EQ(Next(4), "notice; " + Full() + "; position 900; " + Full());
    EXPECT_TRUE(SamePicture(Picture(), Expected(900)));
}

TEST_F(PlayThreadTest, ScanningRunsTheClockAtTwiceTheRate) {
    Open(MarkerScript());
    BufferAll();
    Window.Arm(WM_SAMPLENOTICE);
    Play->Play();
    ASSERT_TRUE(Window.Reached.Wait(kGenerous));
    EXPECT_EQ(Clock->Now(), 1000u + 500) << "normal rate up to the marker";
    Play->ScanForward();
    Window.Release.Signal();
    EXPECT_EQ(Pictures(20).size(), 20u);
    EXPECT_EQ(Play->CurrentPosition(), 1900u);
    EXPECT_EQ(Clock->Now(), 1500u + 1400 / 2);
    EXPECT_TRUE(SamePicture(Picture(), Expected(1900)));
}

TEST_F(PlayThreadTest, LateSamplesAreAllDrawnWithoutWaiting) {
    Open(MarkerScript());
    BufferAll();
    Window.Arm(WM_SAMPLENOTICE);
    Play->Play();
    ASSERT_TRUE(Window.Reached.Wait(kGenerous));
    Clock->Advance(10000);
    Window.Release.Signal();
    std::vector<TRect> rects = Pictures(20);
    ASSERT_EQ(rects.size(), 20u);
    for (size_t i = 6; i < 20; ++i)
        EXPECT_EQ(rects[i], Script.Samples[i].Paints) << "sample " << i << " drawn in its turn";
    EXPECT_EQ(Clock->Now(), 1500u + 10000) << "no sample waited";
    EXPECT_TRUE(SamePicture(Picture(), Expected(1900)));
}

TEST_F(PlayThreadTest, PlayOnAnEmptyBufferAsksForDataAndStartsTheClockAtTheFirstSample) {
    Open(ColumnScript());
    Fill->PassReads = false;
    Play->Play();
    ASSERT_TRUE(Fill->WaitPass(0, kGenerous));
    ASSERT_TRUE(Fill->WaitPass(1, kGenerous)) << "asks again while nothing comes";
    for (size_t i = 10; i < 20; ++i)
        Ctx.Frames.AddSample(Script.Block(i));
    std::vector<TRect> rects = Pictures(10);
    ASSERT_EQ(rects.size(), 10u);
    EXPECT_EQ(rects[0], (TRect{0, 0, 22, 8}));
    EXPECT_EQ(Play->CurrentPosition(), 1900u);
    EXPECT_EQ(Clock->Now(), 1000u + 900) << "the clock started at 1000 ms, not at 0";
}

// A pointer move at 300, a marker at 500, a new pointer shape at 600.
TScript PointerScript() {
    return ColumnScript(2, [](TScript& s, uint32_t t) {
        if (t == 300) s.Pointer(t, 5, 2);
        if (t == 500) s.Marker(t);
        if (t == 600) s.Pointer(t, 20, 1, SolidBmp(3, 2, MakeColor(255, 255, 255)));
        return t == 300 || t == 500 || t == 600;
    });
}

std::string PointerOf(TPlayThread& play) {
    std::lock_guard guard(play.BackBuffer()->Lock());
    const TVirtualMouse* m = play.BackBuffer()->Mouse();
    std::ostringstream s;
    s << (m->Visible() ? "shown at " : "hidden at ") << m->X() << "," << m->Y() << " " << m->Width()
      << "x" << m->Height();
    return s.str();
}

TEST_F(PlayThreadTest, RangeDrawsLeaveOutPointerMovesWithoutAShape) {
    Open(PointerScript());
    BufferAll();
    EXPECT_EQ(Seek(500), "notice; " + Full() + "; position 500");
    EXPECT_EQ(PointerOf(*Play), "hidden at 0,0 44x44");
    EXPECT_EQ(Seek(900), Full() + "; position 900") << "the hidden pointer marks its place too";
    EXPECT_EQ(PointerOf(*Play), "shown at 20,1 3x2") << "a new shape is drawn";
}

TEST_F(PlayThreadTest, PlayDrawsPointerMovesAndMarkers) {
    UseLimit(550);
    Open(PointerScript());
    BufferAll();
    Play->Play();
    ASSERT_TRUE(Held.Wait(kGenerous));
    EXPECT_EQ(PointerOf(*Play), "shown at 5,2 44x44");
    HookRelease.Signal();
    // The pointer marks its old place (0, 0) too, hidden or not.
    EXPECT_EQ(Settle(), Full() + "; picture 1,0,2,8; picture 2,0,3,8; " + Full() +
                            "; picture 4,0,5,8; notice; picture 0,0,0,0");
}

TEST_F(PlayThreadTest, StopLeavesThePictureAndPlayStartsAgainFromTheBeginning) {
    Open(ColumnScript());
    Play->Play();
    ASSERT_EQ(Pictures(20).size(), 20u);
    const TBitmap24 last = Picture();
    EXPECT_TRUE(SamePicture(last, Expected(1900)));

    Play->Stop();
    EXPECT_EQ(Play->CurrentPosition(), 0u);
    EXPECT_EQ(Play->CurrentIndex(), -1);
    EXPECT_EQ(Ctx.Frames.Count(), 0);
    EXPECT_TRUE(SamePicture(Picture(), last));

    Play->Play();
    std::vector<TRect> rects = Pictures(20);
    ASSERT_EQ(rects.size(), 20u);
    EXPECT_EQ(rects[0], (TRect{0, 0, 22, 8}));
    EXPECT_EQ(rects[1], (TRect{1, 0, 2, 8}));
    EXPECT_EQ(Play->CurrentPosition(), 1900u);
}

TEST_F(PlayThreadTest, ContinueAfterAPauseDoesNotResume) {
    Open(MarkerScript());
    BufferAll();
    Window.Arm(WM_SAMPLENOTICE);
    Play->Play();
    ASSERT_TRUE(Window.Reached.Wait(kGenerous));
    Play->Post(WM_PAUSE, 0, 0);
    Play->Post(WM_CONTINUE, 0, 0);
    Window.Release.Signal();
    ASSERT_EQ(Pictures(5).size(), 5u);
    Play->Repaint();
    EXPECT_EQ(Next(3), "notice; picture 0,0,0,0; " + Full());
    EXPECT_EQ(Play->CurrentPosition(), 500u);
    EXPECT_FALSE(Play->Playing());

    // Play draws the next sample at once and the clock restarts from it: the time that
    // passed while paused does not make the rest late.
    Clock->Advance(5000);
    Play->Play();
    EXPECT_EQ(Pictures(14).size(), 14u);
    EXPECT_EQ(Clock->Now(), 1500u + 5000 + 1300);
}

TEST_F(PlayThreadTest, InconsistentBufferIsListedAndNothingDrawn) {
    TLogCapture log;
    Open(ColumnScript());
    Fill->PassReads = false;
    for (size_t i = 11; i <= 15; ++i)
        Ctx.Frames.AddSample(Script.Block(i));
    EXPECT_EQ(Seek(1300), "position 1300");
    EXPECT_EQ(log.Count("KivPlayer.ocx ->Abnormal buffer：MinTimeStamp=1100, DestKeyTime=1000, "
                        "msTime=1300, MaxTimeStamp=1500, FCurrentIndex=-1, FCurrentPosition=0"),
              1);
    std::ifstream dump(Dir.File("dump.txt"));
    std::stringstream text;
    text << dump.rdbuf();
    EXPECT_EQ(text.str(), "0,1100\n1,1200\n2,1300\n3,1400\n4,1500\n");
    EXPECT_FALSE(Play->BackBuffer()->Initialized());
}

// Two segments of differences of many sizes, each XORed onto the ones before:
// played, the picture depends on every image being the right one, whichever of
// the two threads decoded it.
TEST_F(PlayThreadTest, PlayedDifferencesComposeRightWhicheverThreadDecodesThem) {
    TScript s(320, 200);
    for (uint32_t k = 0; k < 2; ++k) {
        s.Key(5000 * k, KeyColor(5000 * k));
        for (int32_t i = 1; i <= 40; ++i) {
            const uint32_t t = 5000 * k + 100 * static_cast<uint32_t>(i);
            const int32_t x = i % 20, y = i % 60, w = 8 + (i * 37) % 290;
            s.Region(t, skDifference, {x, y, x + w, y + 100}, ColumnColor(t));
        }
    }
    Open(s);
    Play->Play();
    ASSERT_EQ(Pictures(82).size(), 82u);
    EXPECT_TRUE(SamePicture(Picture(), Expected(9000)));
}

TEST_F(PlayThreadTest, PlaysThroughMoreThanTheBufferHoldsInOrder) {
    Open(LargeScript());
    Play->Play();
    std::vector<TRect> rects = Pictures(50);
    ASSERT_EQ(rects.size(), 50u);
    for (size_t i = 0; i < 50; ++i)
        EXPECT_EQ(rects[i], Script.Samples[i].Paints) << i;
    EXPECT_EQ(Play->CurrentPosition(), 4900u);
    EXPECT_GT(Ctx.Frames.FirstTimeStamp(), 0u) << "played segments were dropped";
    EXPECT_TRUE(SamePicture(Picture(), Expected(4900)));
}

namespace {

// A key frame, a marker at 100, then ten seconds of nothing before a region (and,
// with a tail, one more 100 ms later).
TScript GapScript(bool tail) {
    TScript s(22, 8);
    s.Key(0, KeyColor(0)).Marker(100);
    s.Region(10100, skReplacement, {1, 0, 2, 8}, ColumnColor(10100));
    if (tail) s.Region(10200, skReplacement, {2, 0, 3, 8}, ColumnColor(10200));
    return s;
}

struct TRateCase {
    const char* Name;
    int32_t Rate;          // thousandths, set 5 s into the gap
    uint32_t FirstDrawnAt; // the clock when 10100 is drawn
};

class PlayThreadRateTest : public PlayThreadTest,
                           public ::testing::WithParamInterface<TRateCase> {};

} // namespace

TEST_P(PlayThreadRateTest, ActsAtOnceMidGapWithoutMovingThePosition) {
    // The clock starts at 1000 with the key frame; the marker at 100 holds the thread.
    const TRateCase& c = GetParam();
    Open(GapScript(false));
    BufferAll();
    Window.Arm(WM_SAMPLENOTICE);
    Play->Play();
    ASSERT_TRUE(Window.Reached.Wait(kGenerous));
    Clock->Advance(5000);
    Play->SetRate(c.Rate);
    EXPECT_EQ(Play->CurrentPosition(), 100u);
    Window.Release.Signal();
    ASSERT_EQ(Pictures(3).size(), 3u); // the key frame's, the marker's, then 10100's
    EXPECT_EQ(Play->CurrentPosition(), 10100u);
    EXPECT_EQ(Clock->Now(), c.FirstDrawnAt);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, PlayThreadRateTest,
    ::testing::Values(TRateCase{"twice", 2000, 6100 + 5000 / 2},
                      TRateCase{"quarter", 250, 6100 + 5000 * 4},
                      TRateCase{"sixteen", 16000, 6100 + 5000 / 16 + 1},  // whole ms, rounded up
                      TRateCase{"beyond", 100000, 6100 + 5000 / 16 + 1}), // the nearest rate
    [](const ::testing::TestParamInfo<TRateCase>& p) { return std::string(p.param.Name); });

TEST_F(PlayThreadTest, IdleStretchesPlayInTheCap) {
    Open(GapScript(true));
    BufferAll();
    Play->SetIdleSkipping(true, 2000, 500);
    Play->Play();
    ASSERT_EQ(Pictures(4).size(), 4u);
    EXPECT_EQ(Play->CurrentPosition(), 10200u) << "the recording's own time";
    // The marker changes nothing: the stretch runs from 0 to 10100, its 10 s in 0.5 s.
    EXPECT_EQ(Clock->Now(), 1000u + 500 + 100);
}

TEST_F(PlayThreadTest, SkippingTurnedOnLateInAStretchEndsItAtOnceWithoutABurst) {
    Open(GapScript(true));
    BufferAll();
    Window.Arm(WM_SAMPLENOTICE);
    Play->Play();
    ASSERT_TRUE(Window.Reached.Wait(kGenerous)); // at the marker, 100 ms in
    Clock->Advance(3000);                        // 3 s into the 10 s stretch
    Play->SetIdleSkipping(true, 2000, 500);
    Window.Release.Signal();
    ASSERT_EQ(Pictures(4).size(), 4u);
    // 10100 at once (the cap has passed), 10200 100 ms after it, not at once.
    EXPECT_EQ(Clock->Now(), 1100u + 3000 + 100);
}
