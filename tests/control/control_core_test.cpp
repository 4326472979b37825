#include "control/kiv_player_core.h"
#include "net/address.h"
#include "platform/kiv_messages.h"
#include "support/core_probe.h"
#include "support/kiv_script.h"
#include "support/play_harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace kiv;
using namespace kiv::test;

namespace {

// The host: events, view and retry timer, all called on the test's thread.
class THost : public IKivPlayerEvents, public IControlView, public IRetryTimer {
public:
    void OnPlayStateChanged(TStatus s) override { States.push_back(s); }
    void OnPositionChanged(int32_t ms) override { Positions.push_back(ms); }
    void ShowError(const std::string& text, TFailureKind) override { Errors.push_back(text); }
    void OpenFailed(int code, const std::string& text) override {
        Failures.push_back(std::to_string(code) + " " + text);
    }
    void Start(uint32_t delayMs, std::function<void()> elapsed) override {
        Delays.push_back(delayMs);
        Elapsed = std::move(elapsed);
    }
    // The timer fires: what the core left to run, if it started one.
    void Fire() {
        if (Elapsed) Elapsed();
    }
    void Cancel() override { ++Cancels; }

    std::vector<TStatus> States;
    std::vector<int32_t> Positions;
    std::vector<std::string> Errors, Failures;
    std::vector<uint32_t> Delays;
    std::function<void()> Elapsed;
    int Cancels = 0;
};

enum TMember { mOpen, mClose, mPlay, mPause, mStop, mFastForward, mFastReverse };
const char* const kMemberNames[] = {"Open", "Close",       "Play",       "Pause",
                                    "Stop", "FastForward", "FastReverse"};
const TStatus kReachable[] = {vpClosed,  vpOpened,      vpPlaying, vpPaused,
                              vpStopped, vpScanForward, vpOpening};

class ControlCoreTest : public ::testing::Test {
protected:
    ControlCoreTest() {
        ColumnScript(2).Write(First);
        ColumnScript(3).Write(Second);
        Fresh();
    }
    ~ControlCoreTest() override {
        if (Window) Window->OpenGate();
        Core.reset();
    }

    void Fresh() {
        Core.reset();
        Window = std::make_unique<TWindowLog>();
        Window->KeepNotices = true;
        Host = std::make_unique<THost>();
        TKivPlayerCore::TOptions options;
        options.Clock = MakeVirtualClock();
        options.CacheFolder = Dir.Path + "/";
        Core = std::make_unique<TKivPlayerCore>(Window.get(), Host.get(), Host.get(), Host.get(),
                                                std::move(options));
    }

    // Hands the threads' notices to the core until done holds.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerous);
        while (!done()) {
            TMessage m;
            if (!Window->Queue.TryGet(m)) {
                if (!Window->Queue.WaitUntil(deadline)) return done();
                continue;
            }
            Core->HandleMessage(m);
        }
        return true;
    }
    bool PumpUntilState(TStatus s) {
        return PumpUntil([&] { return Core->PlayState() == s; });
    }

    // Brings a fresh core with AutoStart off into the state.
    void Enter(TStatus s) {
        Core->SetAutoStart(false);
        if (s == vpClosed) return;
        ASSERT_EQ(Core->Open(First), S_OK);
        if (s == vpOpening) return;
        ASSERT_TRUE(PumpUntilState(vpOpened));
        if (s == vpOpened) return;
        ASSERT_EQ(Core->Play(), S_OK);
        if (s == vpPaused) {
            ASSERT_EQ(Core->Pause(), S_OK);
        }
        if (s == vpStopped) {
            ASSERT_EQ(Core->Stop(), S_OK);
        }
        if (s == vpScanForward) {
            ASSERT_EQ(Core->FastForward(), S_OK);
        }
        ASSERT_EQ(Core->PlayState(), s);
    }

    HRESULT Call(TMember m) {
        switch (m) {
        case mOpen:
            return Core->Open(Second);
        case mClose:
            return Core->Close();
        case mPlay:
            return Core->Play();
        case mPause:
            return Core->Pause();
        case mStop:
            return Core->Stop();
        case mFastForward:
            return Core->FastForward();
        case mFastReverse:
            return Core->FastReverse();
        }
        return S_OK;
    }

    // The open result posted by the current reading thread, as it would post it.
    TMessage ResultOf(int code) {
        return TMessage{WM_OPENRESULT, code, TKivPlayerCoreProbe::Fill(*Core)->Tag()};
    }

    TScriptDir Dir;
    const std::string First = Dir.File("first.kiv");
    const std::string Second = Dir.File("second.kiv");
    std::unique_ptr<TWindowLog> Window;
    std::unique_ptr<THost> Host;
    std::unique_ptr<TKivPlayerCore> Core;
};

std::string Names(const std::vector<TStatus>& states) {
    static const char* const kNames[] = {"Closed",  "Opened",      "Playing",     "Paused",
                                         "Stopped", "ScanForward", "ScanReverse", "Opening"};
    std::string s;
    for (TStatus t : states)
        s += std::string(s.empty() ? "" : " ") + kNames[t];
    return s;
}

} // namespace

TEST_F(ControlCoreTest, EveryMemberInEveryStateMovesAndFiresAsTheTableSays) {
    struct TCell {
        TStatus To;
        std::vector<TStatus> Events;
        bool Fails = false;
    };
    // Rows: members; columns: the states of kReachable.
    const std::vector<TCell> table[] = {
        /* Open */ {{vpOpening, {vpOpening}},
                    {vpOpening, {vpOpening}},
                    {vpOpening, {vpStopped, vpOpening}},
                    {vpOpening, {vpPlaying, vpStopped, vpOpening}},
                    {vpOpening, {vpOpening}},
                    {vpOpening, {vpPlaying, vpStopped, vpOpening}},
                    {vpOpening, {vpOpening}}},
        /* Close */
        {{vpClosed, {}},
         {vpClosed, {}},
         {vpClosed, {}},
         {vpClosed, {}},
         {vpClosed, {}},
         {vpClosed, {}},
         {vpClosed, {}}},
        /* Play */
        {{vpClosed, {}},
         {vpPlaying, {vpPlaying}},
         {vpPlaying, {}},
         {vpPlaying, {vpPlaying}},
         {vpPlaying, {vpPlaying}},
         {vpPlaying, {vpPlaying}},
         {vpOpening, {}}},
        /* Pause */
        {{vpClosed, {}},
         {vpOpened, {}},
         {vpPaused, {vpPaused}},
         {vpPaused, {}},
         {vpStopped, {}},
         {vpPaused, {vpPlaying, vpPaused}},
         {vpOpening, {}}},
        /* Stop */
        {{vpClosed, {}},
         {vpOpened, {}},
         {vpStopped, {vpStopped}},
         {vpStopped, {vpPlaying, vpStopped}},
         {vpStopped, {}},
         {vpStopped, {vpPlaying, vpStopped}},
         {vpOpening, {}}},
        /* FastForward */
        {{vpClosed, {}},
         {vpScanForward, {vpPlaying}},
         {vpScanForward, {}},
         {vpScanForward, {vpPlaying}},
         {vpScanForward, {vpPlaying}},
         {vpScanForward, {}},
         {vpOpening, {}}},
        /* FastReverse */
        {{vpClosed, {}},
         {vpPlaying, {vpPlaying}, true},
         {vpPlaying, {}, true},
         {vpPlaying, {vpPlaying}, true},
         {vpPlaying, {vpPlaying}, true},
         {vpPlaying, {vpPlaying}, true},
         {vpOpening, {}}},
    };
    for (int member = mOpen; member <= mFastReverse; ++member) {
        for (size_t from = 0; from < std::size(kReachable); ++from) {
            const TStatus state = kReachable[from];
            SCOPED_TRACE(std::string(kMemberNames[member]) + " in " + Names({state}));
            const TCell& want = table[member][from];
            Fresh();
            Enter(state);
            if (HasFatalFailure()) return;
            Host->States.clear();
            SetErrorInfo("");

            const HRESULT hr = Call(static_cast<TMember>(member));
            EXPECT_EQ(hr, want.Fails ? E_UNEXPECTED : S_OK);
            EXPECT_EQ(GetErrorInfo(), want.Fails ? "Not Implement" : "");
            EXPECT_EQ(Core->PlayState(), want.To);
            EXPECT_EQ(Names(Host->States), Names(want.Events));
            EXPECT_EQ(TKivPlayerCoreProbe::Play(*Core) != nullptr,
                      want.To != vpClosed && want.To != vpOpening);
            EXPECT_EQ(TKivPlayerCoreProbe::Fill(*Core) != nullptr, want.To != vpClosed);
            if (want.To == vpStopped) {
                EXPECT_EQ(TKivPlayerCoreProbe::Play(*Core)->CurrentPosition(), 0u);
            }
            if (want.To == vpPaused) {
                EXPECT_FALSE(TKivPlayerCoreProbe::Play(*Core)->Playing());
            }
            if (member == mOpen) {
                // The new address opens; a result of the old one is never taken for it.
                ASSERT_TRUE(PumpUntilState(vpOpened));
                std::string url;
                Core->GetURL(&url);
                EXPECT_EQ(url, Second);
                EXPECT_EQ(Core->Duration(), 2900u);
            }
        }
    }
}

TEST_F(ControlCoreTest, OpeningPlaysUnlessAutoStartIsOff) {
    ASSERT_EQ(Core->Open(First), S_OK);
    EXPECT_EQ(Core->PlayState(), vpOpening);
    ASSERT_TRUE(PumpUntilState(vpPlaying));
    EXPECT_EQ(Names(Host->States), "Opening Opened Playing");
    EXPECT_EQ(Core->KivWidth(), 22);
    EXPECT_EQ(Core->KivHeight(), 8);
    EXPECT_EQ(Core->Duration(), 1900u);

    Fresh();
    Core->SetAutoStart(false);
    ASSERT_EQ(Core->Open(First), S_OK);
    ASSERT_TRUE(PumpUntilState(vpOpened));
    // Nothing else is on its way but the activity scan's end: the reading thread
    // answered and nothing plays.
    TMessage m;
    ASSERT_TRUE(Window->TakeNext(WM_ACTIVITYSCANNED, m));
    EXPECT_EQ(Window->Queue.Size(), 0u);
    EXPECT_EQ(Names(Host->States), "Opening Opened");
}

TEST_F(ControlCoreTest, BareFileNameIsOpenedFromThePagesFolder) {
    const std::string spaced = Dir.File("a b.kiv");
    ColumnScript().Write(spaced);
    Core->SetAutoStart(false);
    Core->SetPageUrl("file://" + Dir.Path + "/page.html");
    ASSERT_EQ(Core->Open("a%20b.kiv"), S_OK);
    std::string url;
    Core->GetURL(&url);
    EXPECT_EQ(url, spaced);
    EXPECT_TRUE(PumpUntilState(vpOpened));

    // Either separator counts; a name with a separator is not resolved.
    const std::pair<std::string, std::string> cases[] = {
        {"http://host/dir/page.htm", "http://host/dir/x.kiv"},
        {"C:\\pages\\index.html", "C:\\pages\\x.kiv"},
        {"index.html", "x.kiv"},
        {"", "x.kiv"},
    };
    for (const auto& [page, want] : cases) {
        Core->SetPageUrl(page);
        ASSERT_EQ(Core->Open("x.kiv"), S_OK);
        Core->GetURL(&url);
        EXPECT_EQ(url, want) << page;
    }
    Core->SetPageUrl("http://host/dir/page.htm");
    ASSERT_EQ(Core->Open("sub/x.kiv"), S_OK);
    Core->GetURL(&url);
    EXPECT_EQ(url, "sub/x.kiv");
}

TEST_F(ControlCoreTest, LocalOpenFailuresAreReportedNotRetried) {
    const std::string missing = Dir.File("missing.kiv");
    const std::string shortFile = Dir.File("short.kiv");
    std::ofstream(shortFile) << "KQ too short";
    for (const auto& [path, text] : {std::pair{missing, "1 Can not open the file:" + missing},
                                     std::pair{shortFile, "5 File damaged:" + shortFile}}) {
        Fresh();
        ASSERT_EQ(Core->Open(path), S_OK);
        ASSERT_TRUE(PumpUntilState(vpClosed));
        EXPECT_EQ(Host->Failures, std::vector<std::string>{text});
        EXPECT_EQ(Host->Errors, std::vector<std::string>{text.substr(2)});
        EXPECT_EQ(Names(Host->States), "Opening");
        EXPECT_TRUE(Host->Delays.empty());
        EXPECT_EQ(TKivPlayerCoreProbe::Fill(*Core), nullptr);
    }
}

TEST_F(ControlCoreTest, RefusedServerIsRetriedWithGrowingDelaysUntilClose) {
    TLogCapture log;
    const std::string address = "http://127.0.0.1:1/x.kiv";
    ASSERT_EQ(Core->Open(address), S_OK);
    const std::vector<uint32_t> delays = {1000, 2000, 4000, 8000, 16000, 30000, 30000};
    for (size_t attempt = 0; attempt < delays.size(); ++attempt) {
        SCOPED_TRACE(attempt);
        ASSERT_TRUE(PumpUntilState(vpClosed));
        ASSERT_EQ(Host->Delays.size(), attempt + 1) << "the next attempt waits for the timer";
        EXPECT_EQ(Host->Delays.back(), delays[attempt]);
        EXPECT_EQ(Core->PlayState(), vpClosed);
        Host->Fire();
        EXPECT_EQ(Core->PlayState(), vpOpening);
    }
    ASSERT_TRUE(PumpUntilState(vpClosed));
    // The header cannot be read: that is a damaged file, retried for network addresses.
    EXPECT_EQ(Host->Failures.front(), "5 File damaged:" + address);
    EXPECT_TRUE(Host->Errors.empty());
    EXPECT_EQ(Host->States, std::vector<TStatus>(delays.size() + 1, vpOpening));
    EXPECT_EQ(log.Count("KivPlayer.ocx -> Can not open, try again!"), 8);

    ASSERT_EQ(Core->Close(), S_OK);
    EXPECT_EQ(Host->Cancels, 1);
    Host->Fire(); // a timer that fired anyway
    EXPECT_EQ(Core->PlayState(), vpClosed);
    EXPECT_EQ(Host->States.size(), delays.size() + 1);
}

TEST_F(ControlCoreTest, OpenByTheHostCancelsThePendingRetry) {
    ASSERT_EQ(Core->Open("http://127.0.0.1:1/x.kiv"), S_OK);
    ASSERT_TRUE(PumpUntilState(vpClosed));
    ASSERT_EQ(Host->Delays.size(), 1u);
    Core->SetAutoStart(false);
    ASSERT_EQ(Core->Open(First), S_OK);
    EXPECT_EQ(Host->Cancels, 1);
    ASSERT_TRUE(PumpUntilState(vpOpened));
    Host->Fire();
    EXPECT_EQ(Core->PlayState(), vpOpened);
    EXPECT_EQ(Names(Host->States), "Opening Opening Opened");
}

TEST_F(ControlCoreTest, ConnectionCodesAreRetriedAndASuccessfulOpenResetsTheDelay) {
    Core->SetAutoStart(false);
    ASSERT_EQ(Core->Open(First), S_OK);
    // The results below stand in for a live source's; the file's own result, which is
    // already on its way, then comes from a freed reading thread and must be ignored.
    Core->HandleMessage(ResultOf(srCannotConnect));
    EXPECT_EQ(Core->PlayState(), vpClosed);
    EXPECT_EQ(TKivPlayerCoreProbe::Fill(*Core), nullptr);
    Host->Fire();
    Core->HandleMessage(ResultOf(srDisconnected));
    Host->Fire();
    ASSERT_TRUE(PumpUntilState(vpOpened));
    EXPECT_EQ(Host->Delays, (std::vector<uint32_t>{1000, 2000}));
    EXPECT_EQ(Host->Failures,
              (std::vector<std::string>{"3 Can not connect with the server:" + First,
                                        "7 Connection has been disconnected:" + First}));
    EXPECT_TRUE(Host->Errors.empty());
    EXPECT_EQ(Names(Host->States), "Opening Opening Opening Opened");

    ASSERT_EQ(Core->Open(First), S_OK);
    Core->HandleMessage(ResultOf(srCannotConnect));
    EXPECT_EQ(Host->Delays.back(), 1000u) << "the delay starts again after a success";

    // Code 5 is retried only for network addresses.
    Host->Fire();
    Core->HandleMessage(ResultOf(srDamaged));
    EXPECT_EQ(Host->Delays.size(), 3u);
    EXPECT_EQ(Host->Errors, std::vector<std::string>{"File damaged:" + First});
    EXPECT_EQ(Core->PlayState(), vpClosed);
}

TEST_F(ControlCoreTest, ResultOfACancelledOpenIsIgnored) {
    // A failure of the first address arrives while the second opens.
    Core->SetAutoStart(false);
    ASSERT_EQ(Core->Open(Dir.File("missing.kiv")), S_OK);
    ASSERT_EQ(Core->Open(First), S_OK);
    ASSERT_TRUE(PumpUntilState(vpOpened));
    EXPECT_TRUE(Host->Failures.empty());

    // A success of the first address arrives while the second opens and fails.
    Fresh();
    Core->SetAutoStart(false);
    ASSERT_EQ(Core->Open(First), S_OK);
    ASSERT_EQ(Core->Open(Dir.File("missing.kiv")), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !Host->Failures.empty(); }));
    EXPECT_EQ(Core->PlayState(), vpClosed);
    EXPECT_EQ(TKivPlayerCoreProbe::Play(*Core), nullptr);
    EXPECT_EQ(Names(Host->States), "Opening Opening");
}

TEST_F(ControlCoreTest, PositionIsZeroWithoutAPlayThread) {
    int32_t ms = -1;
    ASSERT_EQ(Core->GetCurrentPosition(&ms), S_OK);
    EXPECT_EQ(ms, 0);
    EXPECT_EQ(Core->SetCurrentPosition(500), S_OK);
    EXPECT_EQ(Core->PlayState(), vpClosed);
}

TEST_F(ControlCoreTest, PositionRequestsSeekRightAfterOpeningAndAfterStop) {
    auto seek = [&](int32_t ms, int32_t shown) {
        Host->Positions.clear();
        ASSERT_EQ(Core->SetCurrentPosition(ms), S_OK);
        ASSERT_TRUE(
            PumpUntil([&] { return !Host->Positions.empty() && Host->Positions.back() == shown; }));
        int32_t now = -1;
        Core->GetCurrentPosition(&now);
        EXPECT_EQ(now, shown);
    };
    Core->SetAutoStart(false);
    ASSERT_EQ(Core->Open(First), S_OK);
    ASSERT_TRUE(PumpUntilState(vpOpened));
    seek(1450, 1400);
    EXPECT_EQ(Host->Positions.front(), 0) << "the seek is asked for first";

    ASSERT_EQ(Core->Play(), S_OK);
    ASSERT_EQ(Core->Stop(), S_OK);
    seek(700, 700);
}

TEST_F(ControlCoreTest, InconsistentBufferIsListedInTheCacheFolder) {
    Core->SetAutoStart(false);
    ASSERT_EQ(Core->Open(First), S_OK);
    ASSERT_TRUE(PumpUntilState(vpOpened));
    const TScript script = ColumnScript();
    for (size_t i = 12; i <= 14; ++i)
        TKivPlayerCoreProbe::Context(*Core).Frames.AddSample(script.Block(i));
    Core->SetCurrentPosition(1300);
    ASSERT_TRUE(PumpUntil([&] { return !Host->Positions.empty(); }));
    std::ifstream dump(Core->CacheFolder() + "dump.txt");
    std::stringstream text;
    text << dump.rdbuf();
    EXPECT_EQ(text.str(), "0,1200\n1,1300\n2,1400\n");
}

TEST_F(ControlCoreTest, BrokenStreamReopensTheSameAddress) {
    TLogCapture log;
    ASSERT_NO_FATAL_FAILURE(Enter(vpPlaying));
    Host->States.clear();
    const intptr_t tag = TKivPlayerCoreProbe::Fill(*Core)->Tag();
    Core->HandleMessage({WM_RECONNECT, 0, tag});
    Core->HandleMessage({WM_RECONNECT, 1, tag + 1000}); // a reading thread since freed
    EXPECT_EQ(Core->PlayState(), vpPlaying);
    Core->HandleMessage({WM_RECONNECT, 1, tag});
    EXPECT_EQ(log.Count("KivPlayer.ocx -> Disconected, try connect again!"), 1);
    // Closed, and opened again after the retry delay.
    EXPECT_EQ(Core->PlayState(), vpClosed);
    EXPECT_EQ(Host->Delays, std::vector<uint32_t>{1000});
    Host->Fire();
    EXPECT_EQ(Core->PlayState(), vpOpening);
    ASSERT_TRUE(PumpUntilState(vpOpened));
    EXPECT_EQ(Names(Host->States), "Opening Opened");
    std::string url;
    Core->GetURL(&url);
    EXPECT_EQ(url, First);
}

TEST_F(ControlCoreTest, BlankUrlIsIgnoredAndAnyOtherOpens) {
    EXPECT_EQ(Core->SetURL("  \t "), S_OK);
    EXPECT_EQ(Core->PlayState(), vpClosed);
    EXPECT_TRUE(Host->States.empty());
    Core->SetAutoStart(false);
    EXPECT_EQ(Core->SetURL(First), S_OK);
    EXPECT_EQ(Core->PlayState(), vpOpening);
    ASSERT_TRUE(PumpUntilState(vpOpened));
}
