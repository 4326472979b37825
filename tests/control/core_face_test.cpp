// What a view and a host see of the core: display modes, the window-message table,
// thumbnail blocks, notices and the statistics figures.
#include "control/kiv_player_core.h"
#include "platform/kiv_messages.h"
#include "support/core_probe.h"
#include "support/kiv_script.h"
#include "support/play_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

using namespace kiv;
using namespace kiv::test;

namespace {

// Writes down every call the core makes of its view and every event, in order.
class TRecorder : public IControlView, public IKivPlayerEvents {
public:
    void ShowInFrame(int32_t w, int32_t h, TDisplayMode m) override {
        Say("frame " + Size(w, h) + " mode " + std::to_string(m));
    }
    void ShowFullScreen(int32_t w, int32_t h) override { Say("full " + Size(w, h)); }
    void CloseFullScreen() override { Say("close full"); }
    void PictureChanged(const TRect& r, TDisplayMode m, const IPictureSource& p) override {
        int32_t width = 0;
        p.Read([&](const TBitmap24& b) { width = b.Width(); });
        Say("picture " + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," +
            std::to_string(r.Right) + "," + std::to_string(r.Bottom) + " mode " +
            std::to_string(m) + " of " + std::to_string(width));
    }
    void SampleNotice() override { Say("notice"); }
    void ShowError(const std::string& text, TFailureKind k) override {
        Say("error " + text + (k == TFailureKind::Player ? "" : " (folder)"));
    }
    void PositionChanged(uint32_t ms) override { Told.push_back(ms); }
    void MarkerPassed(uint32_t ms, const std::string& text) override {
        Say("marker " + std::to_string(ms) + " " + text);
    }
    void PositionAnswered(uint32_t ms) override { Say("answered " + std::to_string(ms)); }
    void PlayedToEnd() override { Say("end"); }
    void ClockHeld(uint32_t t) override { Say("held " + std::to_string(t)); }
    void ActivityScanned() override { Scanned = true; }
    void OnDisplayModeChanged(TDisplayMode m) override { Say("event " + std::to_string(m)); }
    void OnPositionChanged(int32_t ms) override { Say("position " + std::to_string(ms)); }

    std::string Take() {
        std::string s = FLog.str();
        FLog.str("");
        return s;
    }
    std::vector<uint32_t> Told; // the position notices
    bool Scanned = false;
    void Say(const std::string& s) { FLog << (FLog.tellp() > 0 ? "; " : "") << s; }

private:
    static std::string Size(int32_t w, int32_t h) {
        return std::to_string(w) + "x" + std::to_string(h);
    }
    std::ostringstream FLog;
};

// Where the core's thumbnail calls go.
class TThumbsLog : public IThumbnails {
public:
    void Attach(TWindowTarget&, IControlView&) override { Calls.push_back("attach"); }
    void Load(const std::string& url, const std::string&) override {
        Calls.push_back("load " + url.substr(url.rfind('/') + 1));
    }
    void Stop() override { Calls.push_back("stop"); }
    void Relayout(int32_t count) override { Calls.push_back("relayout " + std::to_string(count)); }
    bool HandleMessage(const TMessage& m) override {
        Calls.push_back("message " + std::to_string(m.Msg - WM_USER));
        return true;
    }
    std::vector<std::string> Calls;
};

class CoreFaceTest : public ::testing::Test {
protected:
    CoreFaceTest() {
        ColumnScript(2).Write(Path);
        Window.KeepNotices = true;
        TKivPlayerCore::TOptions options;
        options.Clock = MakeVirtualClock();
        options.CacheFolder = Dir.Path + "/";
        auto thumbs = std::make_unique<TThumbsLog>();
        Thumbs = thumbs.get();
        options.Thumbnails = std::move(thumbs);
        Core = std::make_unique<TKivPlayerCore>(&Window, &Rec, &Rec, nullptr, std::move(options));
        Core->SetAutoStart(false);
    }
    ~CoreFaceTest() override { Core.reset(); }

    // Hands the threads' notices to the core until the recorder has written `until`.
    std::string PumpUntil(const std::string& until) {
        std::string log;
        TMessage m;
        while (log.find(until) == std::string::npos && Window.Take(m)) {
            Core->HandleMessage(m);
            const std::string more = Rec.Take();
            if (!more.empty()) log += (log.empty() ? "" : "; ") + more;
        }
        return log;
    }
    void Open() {
        ASSERT_EQ(Core->Open(Path), S_OK);
        TMessage m;
        while (Core->PlayState() == vpOpening && Window.Take(m))
            Core->HandleMessage(m);
        ASSERT_EQ(Core->PlayState(), vpOpened);
        Rec.Take();
    }
    // Runs the operations named by letters: A adaptive, O original, F full screen, X the
    // full-screen window's leave request, E the frame's double click, C the window closed
    // by the system, 3 DisplayMode := 3, 0 DisplayMode := 0, f FullScreen := false,
    // t FullScreen := true.
    std::string Do(const std::string& ops) {
        for (char op : ops) {
            switch (op) {
            case 'A':
                Core->ChooseAdaptive();
                break;
            case 'O':
                Core->ChooseOriginal();
                break;
            case 'F':
                Core->ChooseFullScreen();
                break;
            case 'X':
                Core->HandleMessage({WM_EXITFULLSCREEN, 0, 0});
                break;
            case 'E':
                Core->HandleMessage({WM_ENTERFULLSCREEN, 0, 0});
                break;
            case 'C':
                Core->FullScreenClosed();
                break;
            case '3':
            case '0':
                EXPECT_EQ(Core->SetDisplayMode(op - '0'), S_OK);
                break;
            case 'f':
            case 't':
                EXPECT_EQ(Core->SetFullScreen(op == 't'), S_OK);
                break;
            }
        }
        return Rec.Take();
    }

    TScriptDir Dir;
    const std::string Path = Dir.File("r.kiv");
    TWindowLog Window;
    TRecorder Rec;
    std::unique_ptr<TKivPlayerCore> Core;
    TThumbsLog* Thumbs = nullptr; // the core's
};

} // namespace

TEST_F(CoreFaceTest, DisplayModesMoveTheSurfacesAndAnnounceEveryActualChange) {
    struct TCase {
        bool Opened;
        const char* Ops;
        const char* Told; // view calls and events, in order
        TDisplayMode Mode;
    };
    const TCase cases[] = {
        // Without a source a change is only recorded and announced.
        {false, "F", "event 1", dmFull},
        {false, "X", "", dmAdaptive},
        {false, "OF", "event 2; event 1", dmFull},
        {true, "O", "frame 22x8 mode 2; event 2", dmOriginal},
        {true, "A", "", dmAdaptive},
        {true, "FX", "full 22x8; event 1; frame 22x8 mode 0; close full; event 0", dmAdaptive},
        {true, "OEX",
         "frame 22x8 mode 2; event 2; full 22x8; event 1; frame 22x8 mode 2; close full; "
         "event 2",
         dmOriginal},
        // Another frame mode while in full screen keeps the mode to return to.
        {true, "FOX", "full 22x8; event 1; frame 22x8 mode 2; close full; event 2", dmOriginal},
        {true, "FF", "full 22x8; event 1", dmFull},
        // Closed by the system: back to the saved mode, nothing freed twice.
        {true, "FC", "full 22x8; event 1; frame 22x8 mode 0; event 0", dmAdaptive},
        {true, "FCX", "full 22x8; event 1; frame 22x8 mode 0; event 0", dmAdaptive},
        // The members: a same value, 3 and FullScreen := false change nothing.
        {true, "030f", "", dmAdaptive},
        {true, "tf", "full 22x8; event 1", dmFull},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Ops) + (c.Opened ? " opened" : ""));
        Core->Close();
        Core->SetDisplayMode(dmAdaptive);
        Do("X");
        if (c.Opened) Open();
        if (HasFatalFailure()) return;
        EXPECT_EQ(Do(c.Ops), c.Told);
        EXPECT_EQ(Core->DisplayMode(), c.Mode);
        bool full = false;
        Core->GetFullScreen(&full);
        EXPECT_EQ(full, c.Mode == dmFull);
    }
}

TEST_F(CoreFaceTest, ModeChosenBeforeOpeningTakesEffectWhenItOpensAndSurvivesClose) {
    EXPECT_EQ(Do("F"), "event 1");
    ASSERT_EQ(Core->Open(Path), S_OK);
    EXPECT_EQ(PumpUntil("full"), "full 22x8");
    Core->Close();
    EXPECT_EQ(Core->DisplayMode(), dmFull);
    EXPECT_EQ(Do("X"), "frame 22x8 mode 0; close full; event 0")
        << "the header of a closed recording is kept";
}

TEST_F(CoreFaceTest, PicturesReachTheViewOnlyOnceComposedAndInsideThePicture) {
    const intptr_t all = PackPoint(0, 0), far = PackPoint(500, 500);
    Core->HandleMessage({WM_PICTURECHANGED, all, far});
    EXPECT_EQ(Rec.Take(), "") << "no play thread";
    Open();
    Core->HandleMessage({WM_PICTURECHANGED, all, far});
    EXPECT_EQ(Rec.Take(), "") << "nothing composed yet";
    ASSERT_EQ(Core->SetCurrentPosition(500), S_OK);
    EXPECT_NE(PumpUntil("answered"), "");
    Core->HandleMessage({WM_PICTURECHANGED, PackPoint(3, 2), far});
    EXPECT_EQ(Rec.Take(), "picture 3,2,22,8 mode 0 of 22");
    Do("F");
    Core->HandleMessage({WM_PICTURECHANGED, all, PackPoint(4, 4)});
    EXPECT_EQ(Rec.Take(), "picture 0,0,4,4 mode 1 of 22");
    Do("C");
    // A repaint is asked for after leaving; it is painted in the frame.
    EXPECT_EQ(PumpUntil("picture"), "picture 0,0,22,8 mode 0 of 22");
}

TEST_F(CoreFaceTest, EveryWindowMessageReachesItsHandler) {
    Open();
    struct TCase {
        TMessage M;
        const char* Told;
    };
    const TCase cases[] = {
        {{WM_ENTERFULLSCREEN, 0, 0}, "full 22x8; event 1"},
        {{WM_EXITFULLSCREEN, 0, 0}, "frame 22x8 mode 0; close full; event 0"},
        {{WM_SAMPLENOTICE, 0, 0}, "notice"},
        {{WM_POSITIONCHANGED, 700, 0}, "position 700"},
        {{WM_NAILCREATED, 9, 2}, ""},
        {{WM_NAILLAYOUT, 5, 0}, ""},
        {{WM_NAILSDOWNLOADED, 0, 3}, ""},
        {{WM_PLAYEDTOEND, 0, 0}, "end"},
        {{WM_CLOCKHELD, 900, 0}, "held 900"},
        {{WM_POSITIONANSWERED, 300, 0}, "answered 300"},
        {{WM_POSITIONANSWERED, 300, 1}, ""}, // answers a request that was never made
        {{WM_RECONNECT, 0, 0}, ""},
        {{WM_USER + 99, 0, 0}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.M.Msg);
        Core->HandleMessage(c.M);
        EXPECT_EQ(Rec.Take(), c.Told);
    }
    // Thumbnails: stopped as the open began, loaded once it succeeded, their messages theirs.
    EXPECT_EQ(Thumbs->Calls,
              (std::vector<std::string>{"attach", "stop", "load r.kiv", "message 100",
                                        "message 401", "message 101"}));
    Core->HandleMessage({WM_REFRESHPICTURE, 0, 0});
    TMessage m;
    ASSERT_TRUE(Window.TakeNext(WM_PICTURECHANGED, m));
    EXPECT_EQ(m.Msg, WM_PICTURECHANGED) << "the play thread repaints";
    Core->HandleMessage(m);
    EXPECT_EQ(Rec.Take(), "") << "nothing composed yet";
}

TEST_F(CoreFaceTest, StatisticsAreSafeInEveryState) {
    auto reading = [&] { return Core->Statistics().Reading; };
    EXPECT_FALSE(reading());
    EXPECT_EQ(Core->Statistics().Samples, 0);
    Open();
    ASSERT_EQ(Core->SetCurrentPosition(1500), S_OK);
    PumpUntil("answered");
    TStatistics s = Core->Statistics();
    EXPECT_TRUE(s.Reading);
    EXPECT_EQ(s.FirstTimeStamp, 1000u) << "read from the key frame before the target";
    EXPECT_EQ(s.LastTimeStamp, 1900u);
    EXPECT_EQ(s.Samples, 10);
    EXPECT_GT(s.Bytes, 20u * kSampleHeaderSize);
    EXPECT_EQ(s.Duration, 1900u);
    EXPECT_EQ(s.IndexEntries, 2);

    // A failed open and a cancelled one leave no reading thread behind the figures.
    ASSERT_EQ(Core->Open(Dir.File("missing.kiv")), S_OK);
    PumpUntil("error");
    EXPECT_FALSE(reading());
    EXPECT_EQ(Core->Statistics().Duration, 1900u) << "the header is kept";
    ASSERT_EQ(Core->Open(Path), S_OK);
    ASSERT_EQ(Core->Close(), S_OK);
    EXPECT_FALSE(reading());
    EXPECT_EQ(Core->Statistics().Samples, 0);
}

TEST_F(CoreFaceTest, ThePositionIsToldWhilePlayingAtMostEvery100Ms) {
    // A pointer move every 40 ms for 12 s; the clock holds after 10 s.
    TScript s(16, 8);
    s.Key(0, 0x102030);
    for (uint32_t t = 40; t <= 12000; t += 40)
        s.Pointer(t, static_cast<uint16_t>(t / 40 % 16), 2);
    s.Write(Path);
    Core.reset();
    TKivPlayerCore::TOptions options;
    options.Clock = MakeVirtualClock(10000);
    options.CacheFolder = Dir.Path + "/";
    Core = std::make_unique<TKivPlayerCore>(&Window, &Rec, &Rec, nullptr, std::move(options));
    Core->SetAutoStart(false);
    Open();
    ASSERT_EQ(Core->Play(), S_OK);
    PumpUntil("held");
    EXPECT_GE(Rec.Told.size(), 90u);
    EXPECT_LE(Rec.Told.size(), 110u);
    EXPECT_TRUE(std::is_sorted(Rec.Told.begin(), Rec.Told.end()));
    EXPECT_LE(Rec.Told.back(), 10000u);

    int32_t at = 0;
    Core->GetCurrentPosition(&at);
    struct TCase {
        const char* Name;
        std::function<void()> Do;
        const char* Until; // the notice that ends it, or nothing to wait for
        uint32_t Told;
    } cases[] = {
        {"a pause", [&] { Core->Pause(); }, "", static_cast<uint32_t>(at)},
        {"a seek", [&] { Core->SetCurrentPosition(5000); }, "answered", 5000},
        {"a stop", [&] { Core->Stop(); }, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Rec.Told.clear();
        c.Do();
        if (*c.Until) PumpUntil(c.Until);
        ASSERT_FALSE(Rec.Told.empty());
        EXPECT_EQ(Rec.Told.back(), c.Told);
    }
}

TEST_F(CoreFaceTest, TheRateIsKeptUntilTheNextOpenAndPlayingPausesAtAMarker) {
    TScript s(16, 8);
    s.Key(0, 0x102030).Other(500, skMarker, 0, 0, ckRaw, {'O', 'n', 'e'});
    s.Key(1000, 0x405060).Marker(1500).Key(2000, 0x708090).Key(3000, 0x8090A0);
    s.Write(Path);
    Open();
    EXPECT_EQ(Core->SetRate(0.2), E_UNEXPECTED);
    EXPECT_EQ(Core->SetRate(16.5), E_UNEXPECTED);
    ASSERT_EQ(Core->SetRate(4), S_OK);
    for (auto step :
         {+[](TKivPlayerCore& c) { return c.Play(); }, +[](TKivPlayerCore& c) { return c.Pause(); },
          +[](TKivPlayerCore& c) { return c.SetCurrentPosition(1200); },
          +[](TKivPlayerCore& c) { return c.Stop(); }}) {
        ASSERT_EQ(step(*Core), S_OK);
        EXPECT_EQ(Core->Rate(), 4);
        EXPECT_EQ(Core->Statistics().Rate, 4);
    }
    // Markers: the table is complete once the scan has ended.
    TMessage m;
    while (!Rec.Scanned && Window.Take(m))
        Core->HandleMessage(m);
    const auto markers = Core->Markers();
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_EQ(markers[0].Text, "One");
    // Playing passes the markers and, when asked, pauses at each.
    Core->SetPauseOnMarker(true);
    ASSERT_EQ(Core->SetCurrentPosition(0), S_OK);
    PumpUntil("answered");
    ASSERT_EQ(Core->Play(), S_OK);
    EXPECT_NE(PumpUntil("marker ").find("marker "), std::string::npos);
    EXPECT_EQ(Core->PlayState(), vpPaused);

    ASSERT_EQ(Core->Open(Path), S_OK);
    EXPECT_EQ(Core->Rate(), 1) << "a new open starts at 1";
}
