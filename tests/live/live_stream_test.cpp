#include "codec/kivdecoder.h"
#include "control/kiv_player_core.h"
#include "live_server.h"
#include "net/address.h"
#include "platform/debug_log.h"
#include "platform/kiv_messages.h"
#include "playback/play_clock.h"
#include "sources/kiv_stream.h"
#include "support/bmp_images.h"
#include "support/core_probe.h"
#include "support/log_capture.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace kiv;
using kiv::serve::TLiveServer;
using kiv::serve::TServeOptions;

namespace {

constexpr int64_t kGenerous = 10000;

std::vector<uint8_t> Record(uint32_t time, int16_t kind, const std::vector<uint8_t>& payload = {}) {
    TSampleHeader h = test::MakeHeader(time, kind);
    std::vector<uint8_t> r(kSampleHeaderSize + payload.size());
    h.Length = static_cast<uint32_t>(payload.size());
    StoreSampleHeader(h, r.data());
    std::copy(payload.begin(), payload.end(), r.begin() + kSampleHeaderSize);
    return r;
}

// Updates before the first key frame, then a key frame of 32 x 24 and updates every 40 ms.
std::vector<std::vector<uint8_t>> Records(int updates = 50) {
    auto picture = test::MakeBmp(32, 24, 24, [](int32_t x, int32_t y) { return x * 7 + y; });
    auto region = test::MakeBmp(4, 4, 24, [](int32_t, int32_t) { return 0x00FF00u; });
    std::vector<std::vector<uint8_t>> r{Record(0, skReplacement, region), Record(10, skPointer),
                                        Record(20, skKeyFrame, picture)};
    for (int i = 1; i <= updates; ++i)
        r.push_back(Record(20 + 40 * i, skReplacement, region));
    return r;
}

struct TLiveFixture : testing::Test {
    TPlayContext Context;
    TQueueWindow Window;
    std::unique_ptr<TKivStream> Stream;

    void SetUp() override {
        InitDecoder();
        Context.Window = &Window;
    }
    void TearDown() override {
        if (Stream) Stream->Destroy();
        Context.Frames.Clear();
        UninitDecoder();
    }
    // Opens address and returns the first window message's code (-1 when none came).
    TMessage OpenAndWait(const std::string& address, uint32_t msg = WM_OPENRESULT) {
        Stream = std::make_unique<TKivStream>(&Context);
        Context.FillThread = Stream.get();
        Stream->Start();
        Stream->Open(address);
        return WaitFor(msg);
    }
    TMessage WaitFor(uint32_t msg) {
        TMessage m{};
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerous);
        while (Window.Queue.WaitUntil(deadline)) {
            Window.Queue.TryGet(m);
            if (m.Msg == msg) return m;
        }
        ADD_FAILURE() << "no message " << msg;
        return {0, -1, 0};
    }
    static std::string Address(const TLiveServer& s, const std::string& channel = "demo") {
        return "KIVS://127.0.0.1:" + std::to_string(s.Port()) + "/" + channel;
    }
};

TServeOptions Options() {
    TServeOptions o;
    o.Port = 0;
    return o;
}

} // namespace

TEST_F(TLiveFixture, MalformedAddressesFailWithoutConnecting) {
    TLiveServer server(Records(), Options());
    const std::string port = std::to_string(server.Port());
    for (const std::string& address : std::vector<std::string>{"KIVS://127.0.0.1", "KIVS:///demo",
                                                               "KIVS://127.0.0.1:" + port + "/",
                                                               "KIVS://127.0.0.1:x/demo", "KIVS"}) {
        TMessage m = OpenAndWait(address);
        EXPECT_EQ(m.WParam, srBadUrl) << address;
        Stream->Destroy();
    }
    EXPECT_EQ(server.Connections(), 0);
}

TEST_F(TLiveFixture, SplitsHostPortAndAWholeChannel) {
    std::string host, channel;
    uint16_t port = 0;
    ASSERT_TRUE(TKivStream::SplitAddress("KIVS://rec.example/class/room 2", host, port, channel));
    EXPECT_EQ(host, "rec.example");
    EXPECT_EQ(port, 1804);
    EXPECT_EQ(channel, "class/room 2");
    ASSERT_TRUE(TKivStream::SplitAddress("kivs://10.1.2.3:9000/c", host, port, channel));
    EXPECT_EQ(port, 9000);
}

TEST_F(TLiveFixture, PermissionFalseRefusesAndOtherRepliesAreAccepted) {
    struct {
        std::string permission;
        intptr_t code;
    } cases[] = {
        {"False", srRefused}, {"FALSE", srOk}, {"false", srOk}, {"", srOk}, {"True", srOk}};
    for (const auto& c : cases) {
        TServeOptions o = Options();
        o.Permission = c.permission;
        TLiveServer server(Records(), o);
        EXPECT_EQ(OpenAndWait(Address(server)).WParam, c.code) << "Permission=" << c.permission;
        Stream->Destroy();
        Context.Frames.Clear();
    }
}

TEST_F(TLiveFixture, OpensAtTheFirstKeyFrameAndNeverBuffersWhatCameBefore) {
    TLiveServer server(Records(), Options());
    TMessage m = OpenAndWait(Address(server, "a/b/c"));
    ASSERT_EQ(m.WParam, srOk);
    EXPECT_EQ(m.LParam, Stream->Tag());
    EXPECT_EQ(Context.Header.Width, 32);
    EXPECT_EQ(Context.Header.Height, 24);
    ASSERT_GE(Context.Frames.Count(), 1);
    EXPECT_EQ(SampleKind(Context.Frames.Sample(0)), skKeyFrame);
    EXPECT_EQ(SampleTimeStamp(Context.Frames.Sample(0)), 20u);
    EXPECT_EQ(Context.IndexTable.Count(), 1);
    EXPECT_EQ(Stream->SourceKind(), skLive);
    ASSERT_EQ(server.Channels().size(), 1u);
    EXPECT_EQ(server.Channels()[0], "a/b/c") << "the channel goes to the server whole";
}

TEST_F(TLiveFixture, StopPausesAndTheNextFillResumes) {
    TLiveServer server(Records(200), Options());
    ASSERT_EQ(OpenAndWait(Address(server)).WParam, srOk);
    Stream->Stop();
    EXPECT_EQ(Stream->State(), 3);
    const uint64_t seen = Stream->Passes();
    Stream->Fill(-1);
    // The pass runs until a message interrupts it; a reset does, after "Start" was sent.
    const int32_t before = Context.Frames.Count();
    for (int i = 0; i < 200 && Context.Frames.Count() <= before + 2; ++i)
        Window.Queue.WaitFor(20);
    EXPECT_EQ(Stream->State(), 2);
    EXPECT_GT(Context.Frames.Count(), before + 2) << "samples flow again";
    Stream->Reset();
    EXPECT_TRUE(Stream->WaitPass(seen, kGenerous));
    EXPECT_EQ(SampleKind(Context.Frames.Sample(0)), skKeyFrame)
        << "a reset keeps the last key frame";
}

TEST_F(TLiveFixture, ASilentServerKeepsThePassWaiting) {
    TServeOptions o = Options();
    o.Silent = true;
    TLiveServer server(Records(), o);
    Stream = std::make_unique<TKivStream>(&Context);
    Stream->Start();
    Stream->Open(Address(server));
    for (int i = 0; i < 500 && !Stream->Reading(); ++i)
        Window.Queue.WaitFor(10);
    EXPECT_TRUE(Stream->Reading());
    EXPECT_FALSE(Window.Queue.WaitFor(300)) << "neither opened nor broken";
    EXPECT_TRUE(Stream->Reading());
    Stream->Stop(); // a message ends the pass
    EXPECT_EQ(Stream->State(), 3);
}

TEST_F(TLiveFixture, ADroppedConnectionAsksForAReconnect) {
    std::vector<std::string> log;
    auto previous = SetDebugSink([&](std::string_view l) { log.emplace_back(l); });
    TServeOptions o = Options();
    o.DropAfterMs = 200;
    TLiveServer server(Records(), o);
    ASSERT_EQ(OpenAndWait(Address(server)).WParam, srOk);
    TMessage m = WaitFor(WM_RECONNECT);
    EXPECT_EQ(m.WParam, 1);
    EXPECT_EQ(m.LParam, Stream->Tag());
    EXPECT_EQ(Stream->State(), 0);
    Stream->Destroy();
    SetDebugSink(previous);
    bool logged = false;
    for (auto& l : log)
        logged = logged || l.find("TKivStream.HandleRead: 网络连接被断开") != std::string::npos;
    EXPECT_TRUE(logged);
}

namespace {

struct TEventLog : IKivPlayerEvents {
    std::vector<TStatus> States;
    void OnPlayStateChanged(TStatus s) override { States.push_back(s); }
    void OnPositionChanged(int32_t) override {}
};

} // namespace

TEST(LiveControl, ABrokenStreamIsOpenedAgainAndPlays) {
    TServeOptions o = Options();
    o.DropAfterMs = 300;
    TLiveServer server(Records(500), o);
    TQueueWindow window;
    TEventLog events;
    TKivPlayerCore core(&window, &events);
    ASSERT_EQ(core.Open("KIVS://127.0.0.1:" + std::to_string(server.Port()) + "/x"), S_OK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerous);
    auto playing = [&] {
        return std::count(events.States.begin(), events.States.end(), vpPlaying);
    };
    while (playing() < 2 && window.Queue.WaitUntil(deadline)) {
        TMessage m;
        if (window.Queue.TryGet(m)) core.HandleMessage(m);
    }
    EXPECT_EQ(playing(), 2);
    EXPECT_GE(server.Connections(), 2);
    EXPECT_EQ(events.States.front(), vpOpening);
    EXPECT_EQ(core.PlayState(), vpPlaying);
}

TEST_F(TLiveFixture, AReaderAheadOfPlayingHoldsTheServerBackAndLosesNothing) {
    constexpr int32_t kLimit = 8;
    constexpr int kUpdates = 60;
    Context.Frames.SetLimits(INT64_MAX, kLimit);
    std::mutex lock;
    std::condition_variable arrived;
    Context.Frames.SetListener([&] {
        std::lock_guard guard(lock);
        arrived.notify_all();
    });
    TServeOptions o = Options();
    o.Speed = 0;
    o.Loop = false;
    TLiveServer server(Records(kUpdates), o);
    ASSERT_EQ(OpenAndWait(Address(server)).WParam, srOk);
    // Standing in for the play thread: everything buffered is drawn, then trimmed.
    std::vector<uint32_t> times;
    auto full = [&] {
        const auto kept = static_cast<int32_t>(times.empty() ? 0 : 1);
        // The count without the buffer's lock: the listener runs under it.
        const int32_t count = Context.Frames.SampleCount();
        return count >= kLimit || static_cast<int32_t>(times.size()) - kept + count > kUpdates;
    };
    while (static_cast<int>(times.size()) <= kUpdates) {
        std::unique_lock guard(lock);
        ASSERT_TRUE(arrived.wait_for(guard, std::chrono::milliseconds(kGenerous), full))
            << times.size() << " samples taken";
        guard.unlock();
        for (int32_t i = 0; i < Context.Frames.Count(); ++i) {
            const uint32_t t = SampleTimeStamp(Context.Frames.Sample(i));
            if (times.empty() || t > times.back()) times.push_back(t);
        }
        int32_t last = Context.Frames.Count() - 1;
        Context.Frames.Trim(last);
    }
    Context.Frames.SetListener({});
    Stream.reset(); // the server waits for the client to go
    std::vector<uint32_t> expected;
    for (int i = 0; i <= kUpdates; ++i)
        expected.push_back(20 + 40 * i);
    EXPECT_EQ(times, expected) << "every record once, in order";
    // Whether the reader found the buffer full before or after the test drained it
    // depends on the machine's load; that it never held more does not.
    EXPECT_EQ(Context.Frames.PeakSampleCount(), kLimit);
}

namespace {

// A key frame of 160 x 120 and four small updates, every 40 ms: the bytes reach the limit first.
std::vector<std::vector<uint8_t>> HeavyRecords() {
    auto picture = test::MakeBmp(160, 120, 24, [](int32_t x, int32_t y) { return x * 5 + y; });
    auto region = test::MakeBmp(4, 4, 24, [](int32_t, int32_t) { return 0x0000FFu; });
    std::vector<std::vector<uint8_t>> r;
    for (uint32_t i = 0; i < 100; ++i)
        r.push_back(i % 5 ? Record(40 * i, skReplacement, region)
                          : Record(40 * i, skKeyFrame, picture));
    return r;
}

// The first key frame, then samples stamped eleven days on.
std::vector<std::vector<uint8_t>> FutureRecords() {
    auto r = Records(0);
    auto picture = test::MakeBmp(32, 24, 24, [](int32_t, int32_t) { return 0x00FF00u; });
    auto region = test::MakeBmp(4, 4, 24, [](int32_t, int32_t) { return 0xFF0000u; });
    for (uint32_t i = 0; i < TFramesBuffer::kLimitSamples + 100; ++i)
        r.push_back(Record(1000000000u + 40 * i, i % 50 ? skReplacement : skKeyFrame,
                           i % 50 ? region : picture));
    return r;
}

} // namespace

TEST(LiveControl, AFloodWaitsInsideTheLimitWhilePlayingGoesOn) {
    struct {
        const char* name;
        std::vector<std::vector<uint8_t>> records;
        bool loop;
        bool future; // nothing after the first key frame is due
    } cases[] = {
        {"bytes", HeavyRecords(), true, false},
        {"samples", Records(50), true, false},
        {"far in the future", FutureRecords(), false, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        size_t largest = 0;
        for (const auto& r : c.records)
            largest = std::max(largest, r.size());
        TServeOptions o = Options();
        o.Speed = 0;
        o.Loop = c.loop;
        TLiveServer server(std::move(c.records), o);
        test::TLogCapture log;
        TQueueWindow window;
        TEventLog events;
        TKivPlayerCore core(&window, &events);
        const TFramesBuffer& frames = TKivPlayerCoreProbe::Context(core).Frames;
        ASSERT_EQ(core.Open("KIVS://127.0.0.1:" + std::to_string(server.Port()) + "/x"), S_OK);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerous);
        // Drawn positions, counted from when the reader first had to wait.
        std::vector<intptr_t> drawn;
        bool held = false;
        auto pump = [&] {
            TMessage m;
            if (!window.Queue.TryGet(m)) return window.Queue.WaitUntil(deadline);
            held = held || log.Count("receiving waits for playing") > 0;
            if (held && m.Msg == WM_PLAYPOSITION) drawn.push_back(m.WParam);
            core.HandleMessage(m);
            return true;
        };
        if (c.future) {
            ASSERT_TRUE(log.WaitFor("receiving waits for playing", 1, kGenerous));
            while (core.PlayState() != vpPlaying && pump()) {
            }
            EXPECT_EQ(core.Pause(), S_OK) << "the play thread answers";
            EXPECT_EQ(core.PlayState(), vpPaused);
        } else {
            while (drawn.size() < 10 && pump()) {
            }
            ASSERT_EQ(drawn.size(), 10u) << "pictures go on being drawn";
            EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end()));
            EXPECT_LT(drawn.front(), drawn.back());
        }
        EXPECT_TRUE(frames.PeakByteCount() >= TFramesBuffer::kLimitBytes ||
                    frames.PeakSampleCount() >= TFramesBuffer::kLimitSamples)
            << "the flood reached the limit";
        EXPECT_LE(frames.PeakByteCount(),
                  TFramesBuffer::kLimitBytes + static_cast<int64_t>(largest));
        EXPECT_LE(frames.PeakSampleCount(), TFramesBuffer::kLimitSamples);
        EXPECT_EQ(server.Connections(), 1) << "the stream never broke";
    }
}
