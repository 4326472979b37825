// The caster and the player on a network of their own: a caster namespace and a
// player namespace joined by veth pairs. Skipped where no namespace can be made.
#include "multicast/cast_util.h"
#include "multicast/net_lab.h"
#include "net/address.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/socket.h>

namespace kiv::test {
namespace {

constexpr const char* kGroup = "238.0.0.1";

class TLabTest : public ::testing::Test {
protected:
    static std::unique_ptr<TNetLab> MakeLab(int links) { return std::make_unique<TNetLab>(links); }
    void RequireLab(const TNetLab& lab) {
        if (!lab.Ok())
            GTEST_SKIP() << "multicast tests need root and the ip tool to make a network "
                            "namespace: "
                         << lab.Why();
    }
    // Runs kivcast in the caster namespace to its end.
    static int CastOnce(const TNetLab& lab, std::vector<std::string> args, int link = 1) {
        std::vector<std::string> all = {KivcastPath(), "--once", "--quiet", "--interface",
                                        TNetLab::CasterAddress(link)};
        all.insert(all.end(), args.begin(), args.end());
        TNsProcess cast(lab.CasterNs(), all);
        const int status = cast.Wait(kWaitMs * 3);
        if (status != 0) ADD_FAILURE() << "kivcast: " << cast.Output();
        return status;
    }
};

class OneLink : public TLabTest {
protected:
    static void SetUpTestSuite() { Lab = MakeLab(1); }
    static void TearDownTestSuite() { Lab.reset(); }
    void SetUp() override { RequireLab(*Lab); }
    static std::unique_ptr<TNetLab> Lab;
};
std::unique_ptr<TNetLab> OneLink::Lab;

class TwoLinks : public TLabTest {
protected:
    static void SetUpTestSuite() { Lab = MakeLab(2); }
    static void TearDownTestSuite() { Lab.reset(); }
    void SetUp() override { RequireLab(*Lab); }
    static std::unique_ptr<TNetLab> Lab;
};
std::unique_ptr<TNetLab> TwoLinks::Lab;

// A pointer sample before the key frame, then samples of one to many datagrams.
std::vector<TSampleSpec> MixedSamples() {
    return {
        {0, skPointer, Filler(300, 1)},
        {10, skKeyFrame, PicturePayload(64, 48)},
        {20, skDifference, Filler(50000, 2)},                                     // 3 datagrams
        {30, skReplacement, Filler(kMaxFragmentSize - kSampleHeaderSize, 3)},     // exactly 1
        {40, skReplacement, Filler(kMaxFragmentSize - kSampleHeaderSize + 1, 4)}, // 2
        {50, skPointer, {}},
        {60, skKeyFrame, Filler(300000, 6)}, // 15 datagrams
        {70, skMarker, {}},
    };
}

TEST_F(OneLink, KivcastDescribesTheCastAndEverySampleArrivesWhole) {
    TScratchDir dir;
    const std::string recording = dir.File("mixed.kiv"), sms = dir.File("cast.sms");
    const auto records = WriteRecording(recording, MixedSamples());
    // The caster writes the description file the player opens.
    ASSERT_EQ(CastOnce(*Lab, {"--port", "6101", "--sms", sms, recording}), 0);

    TInNamespace inside(Lab->PlayerNs());
    ASSERT_TRUE(inside.Ok());
    TLogCapture log;
    TCastHost host;
    ASSERT_EQ(host.Stream->Addresses(), std::vector<std::string>{TNetLab::PlayerAddress(1)});
    host.Stream->Open(sms);
    ASSERT_TRUE(host.WaitReceivers());
    EXPECT_EQ(host.Context.Frames.Count(), 0);
    EXPECT_EQ(host.Window.Queue.Size(), 0u) << "not open before the first key frame";

    ASSERT_EQ(CastOnce(*Lab, {"--port", "6101", "--rate", "40", recording}), 0);
    TMessage m;
    ASSERT_TRUE(TCastHost::Next(host.Window, WM_OPENRESULT, m));
    EXPECT_EQ(m.WParam, srOk);
    EXPECT_EQ(m.LParam, host.Stream->Tag());
    ASSERT_TRUE(host.WaitFrames(7));
    // The pointer sample before the key frame is not kept.
    EXPECT_EQ(host.Frames(), std::vector<TBytes>(records.begin() + 1, records.end()));
    EXPECT_EQ(host.Context.Header.Width, 64);
    EXPECT_EQ(host.Context.Header.Height, 48);
    EXPECT_EQ(host.Context.IndexTable.Count(), 2);
    EXPECT_EQ(host.Stream->State(), TKivMulticastStream::lsStreaming);
    EXPECT_EQ(host.Stream->SourceKind(), skMulticast);
    EXPECT_EQ(host.Stream->Receiver(0).Dropped(), 0u);
    EXPECT_EQ(log.Count("dropped"), 0);
}

TEST_F(OneLink, ALostFragmentCostsOnlyItsSample) {
    TScratchDir dir;
    const std::string recording = dir.File("loss.kiv"), sms = dir.File("cast.sms");
    std::vector<TSampleSpec> samples = {{0, skKeyFrame, PicturePayload(32, 32)}};
    for (uint32_t t = 10; t <= 60; t += 10)
        samples.push_back({t, skDifference, Filler(50000, t)});
    const auto records = WriteRecording(recording, samples);
    WriteText(sms, SmsText(kGroup, 6102));

    TInNamespace inside(Lab->PlayerNs());
    ASSERT_TRUE(inside.Ok());
    TLogCapture log;
    TCastHost host;
    host.Stream->Open(sms);
    ASSERT_TRUE(host.WaitReceivers());
    // The middle datagram of sample 2 (time 20) and the first of sample 4 (time 40).
    ASSERT_EQ(CastOnce(*Lab, {"--port", "6102", "--rate", "40", "--drop-fragment", "2:1",
                              "--drop-fragment", "4:0", recording}),
              0);
    ASSERT_TRUE(host.WaitFrames(5));
    std::vector<uint32_t> times;
    for (const auto& f : host.Frames())
        times.push_back(SampleTimeStamp(f.data()));
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 10, 30, 50, 60}));
    EXPECT_EQ(host.Frames()[2], records[3]);
    // Each damaged sample is given up when the next one begins, with a debug line.
    EXPECT_EQ(host.Stream->Receiver(0).Dropped(), 2u);
    EXPECT_EQ(log.Count("TReceiveThread: sample 3 dropped (incomplete)"), 1);
    EXPECT_EQ(log.Count("TReceiveThread: sample 5 dropped (incomplete)"), 1);
}

TEST_F(OneLink, AFirstKeyFrameWithoutAPictureMakesTheControlReconnect) {
    TScratchDir dir;
    const std::string recording = dir.File("bad.kiv"), sms = dir.File("cast.sms");
    WriteRecording(recording, {{0, skKeyFrame, Filler(500, 1)}, {10, skDifference, Filler(50, 2)}});
    WriteText(sms, SmsText(kGroup, 6108));

    TInNamespace inside(Lab->PlayerNs());
    ASSERT_TRUE(inside.Ok());
    TLogCapture log;
    TCastHost host;
    host.Stream->Open(sms);
    ASSERT_TRUE(host.WaitReceivers());
    ASSERT_EQ(CastOnce(*Lab, {"--port", "6108", recording}), 0);
    TMessage m;
    ASSERT_TRUE(host.Window.Queue.WaitFor(kWaitMs));
    ASSERT_TRUE(host.Window.Queue.TryGet(m));
    EXPECT_EQ(m.Msg, WM_RECONNECT) << "never told that the source is open";
    EXPECT_EQ(m.WParam, 1);
    EXPECT_EQ(m.LParam, host.Stream->Tag());
    EXPECT_EQ(log.Count("KivPlayer.ocx ->TKivMulticastStream.HandleRead raise exception :the "
                        "first key frame holds no picture"),
              1);
    EXPECT_EQ(host.Stream->State(), TKivMulticastStream::lsNotOpened);
    EXPECT_EQ(host.Context.Frames.Count(), 0);
}

TEST_F(OneLink, TheQueueKeepsTheNewest2000AndAStopKeepsThem) {
    TScratchDir dir;
    const std::string recording = dir.File("many.kiv");
    std::vector<TSampleSpec> samples;
    const uint32_t total = kMaxQueuedSamples + 150;
    for (uint32_t i = 0; i < total; ++i)
        samples.push_back({i, skPointer, Filler(60, i)});
    WriteRecording(recording, samples);

    TInNamespace inside(Lab->PlayerNs());
    ASSERT_TRUE(inside.Ok());
    TReceiveThread r;
    r.SetGroup(kGroup);
    r.SetPort(6103);
    r.SetLocalAddress(TNetLab::PlayerAddress(1));
    ASSERT_TRUE(r.Start());
    ASSERT_TRUE(r.WaitReceiving(kWaitMs));
    ASSERT_EQ(CastOnce(*Lab, {"--port", "6103", "--rate", "4", recording}), 0);
    ASSERT_TRUE(r.WaitCompleted(total, kWaitMs)) << r.Completed() << " of " << total;
    EXPECT_EQ(r.Evicted(), 150u);
    ASSERT_TRUE(r.StopReceiving());
    EXPECT_FALSE(r.Running());
    EXPECT_EQ(r.Queued(), kMaxQueuedSamples);
    for (uint32_t i = 150; i < total; ++i) {
        TSampleBlock b = r.Pop();
        ASSERT_TRUE(b);
        ASSERT_EQ(SampleTimeStamp(b.get()), i);
    }
    EXPECT_FALSE(r.Pop());
}

TEST_F(OneLink, WhatTheFramesBufferCannotHoldIsDroppedUntilTheNextKeyFrame) {
    TScratchDir dir;
    const std::string recording = dir.File("flood.kiv"), sms = dir.File("cast.sms");
    std::vector<TSampleSpec> samples;
    for (uint32_t i = 0; i < 30; ++i)
        samples.push_back(i % 5 ? TSampleSpec{i * 10, skDifference, Filler(300, i)}
                                : TSampleSpec{i * 10, skKeyFrame, PicturePayload(32, 32)});
    const auto records = WriteRecording(recording, samples);
    WriteText(sms, SmsText(kGroup, 6109));

    TInNamespace inside(Lab->PlayerNs());
    ASSERT_TRUE(inside.Ok());
    TLogCapture log;
    TCastHost host;
    constexpr int32_t kLimit = 6;
    host.Context.Frames.SetLimits(INT64_MAX, kLimit);
    host.Stream->Open(sms);
    ASSERT_TRUE(host.WaitReceivers());
    ASSERT_EQ(CastOnce(*Lab, {"--port", "6109", "--rate", "40", recording}), 0);
    ASSERT_TRUE(log.WaitFor("samples are dropped until the next key frame", 1, kWaitMs));
    ASSERT_TRUE(host.WaitFrames(kLimit));
    EXPECT_EQ(host.Frames(), std::vector<TBytes>(records.begin(), records.begin() + kLimit));
    // The play thread has drawn the last one: only the segment it is in stays.
    int32_t last = kLimit - 1;
    ASSERT_TRUE(host.Context.Frames.Trim(last));
    ASSERT_EQ(host.Context.Frames.Count(), 1);
    ASSERT_EQ(CastOnce(*Lab, {"--port", "6109", "--rate", "40", recording}), 0);
    ASSERT_TRUE(host.WaitFrames(2));
    EXPECT_EQ(SampleKind(host.Context.Frames.Sample(1)), skKeyFrame)
        << "taken again at a key frame";
    EXPECT_EQ(host.Context.Frames.PeakSampleCount(), kLimit);
}

TEST_F(OneLink, SocketFailuresGoToTheDebugLog) {
    TInNamespace inside(Lab->PlayerNs());
    ASSERT_TRUE(inside.Ok());
    TLogCapture log;
    {
        SCOPED_TRACE("port taken by a socket that does not share it");
        TUdpSocket holder;
        ASSERT_TRUE(holder.Open());
        ASSERT_TRUE(holder.Bind("", 6104));
        TReceiveThread r;
        r.SetGroup(kGroup);
        r.SetPort(6104);
        r.SetLocalAddress(TNetLab::PlayerAddress(1));
        ASSERT_TRUE(r.Start());
        EXPECT_FALSE(r.WaitReceiving(kWaitMs));
        EXPECT_EQ(log.Count("UnitRecieve: 绑定失败 ：" + std::to_string(EADDRINUSE)), 1);
        // Still counted as running: only a stop and a start try again.
        EXPECT_TRUE(r.Running());
        ASSERT_TRUE(r.Start());
        EXPECT_EQ(r.Runs(), 1u);
        holder.Close();
        ASSERT_TRUE(r.StopReceiving());
        ASSERT_TRUE(r.Start());
        EXPECT_TRUE(r.WaitReceiving(kWaitMs));
        EXPECT_EQ(r.Runs(), 2u);
    }
    {
        SCOPED_TRACE("an interface address the host does not have");
        TReceiveThread r;
        r.SetGroup(kGroup);
        r.SetPort(6105);
        r.SetLocalAddress("10.213.99.2");
        ASSERT_TRUE(r.Start());
        EXPECT_FALSE(r.WaitReceiving(kWaitMs));
        EXPECT_EQ(log.Count("UnitRecieve: 加入多播组失败：" + std::to_string(ENODEV)), 1);
    }
}

TEST_F(OneLink, StopHaltsTheReceiversAndTheNextReadStartsThemAgain) {
    TScratchDir dir;
    const std::string recording = dir.File("steps.kiv"), sms = dir.File("cast.sms");
    std::vector<TSampleSpec> samples;
    for (uint32_t t = 0; t <= 1000; t += 20)
        samples.push_back({t, t % 200 == 0 ? skKeyFrame : skDifference,
                           t % 200 == 0 ? PicturePayload(40, 30) : Filler(3000, t)});
    WriteRecording(recording, samples);
    WriteText(sms, SmsText(kGroup, 6106));

    TInNamespace inside(Lab->PlayerNs());
    ASSERT_TRUE(inside.Ok());
    TCastHost host;
    host.Stream->Open(sms);
    ASSERT_TRUE(host.WaitReceivers());
    // Looping in real time until the end of the test.
    TNsProcess cast(Lab->CasterNs(), {KivcastPath(), "--quiet", "--interface",
                                      TNetLab::CasterAddress(1), "--port", "6106", recording});
    ASSERT_TRUE(cast.Started());
    TMessage m;
    ASSERT_TRUE(TCastHost::Next(host.Window, WM_OPENRESULT, m));
    ASSERT_EQ(m.WParam, srOk);
    ASSERT_TRUE(host.WaitFrames(5));

    TReceiveThread& r = host.Stream->Receiver(0);
    host.Stream->Stop();
    EXPECT_EQ(host.Stream->State(), TKivMulticastStream::lsStopped);
    EXPECT_FALSE(r.Running());
    EXPECT_FALSE(host.Stream->Reading());
    EXPECT_EQ(r.Runs(), 1u);

    // A reset keeps the last key frame and what follows it.
    host.Stream->Reset();
    const auto kept = host.Frames();
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(SampleKind(kept.front().data()), skKeyFrame);

    host.Stream->Fill(-1);
    ASSERT_TRUE(host.WaitFrames(static_cast<int32_t>(kept.size()) + 5));
    EXPECT_EQ(r.Runs(), 2u);
    EXPECT_TRUE(r.Running());
    EXPECT_EQ(host.Stream->State(), TKivMulticastStream::lsStreaming);
    // Time goes on across the caster's passes and the restart.
    const auto frames = host.Frames();
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_LT(SampleTimeStamp(frames[i - 1].data()), SampleTimeStamp(frames[i].data()));

    // A seek cannot jump on a live cast: it reads on until the target time comes.
    const uint32_t target = SampleTimeStamp(frames.back().data()) + 150;
    host.Stream->Seek(static_cast<int32_t>(target));
    ASSERT_TRUE(TCastHost::Next(host.Play, WM_DRAWTO, m));
    const auto index = static_cast<int32_t>(m.WParam);
    ASSERT_GT(index, 0);
    EXPECT_GE(SampleTimeStamp(host.Context.Frames.Sample(index)), target);
    EXPECT_LT(SampleTimeStamp(host.Context.Frames.Sample(index - 1)), target);
}

TEST_F(TwoLinks, EveryInterfaceGetsAReceiverAndEveryCopyIsKept) {
    TScratchDir dir;
    const std::string recording = dir.File("two.kiv"), sms = dir.File("cast.sms");
    std::vector<TSampleSpec> samples = {{0, skKeyFrame, PicturePayload(16, 16)}};
    for (uint32_t t = 10; t <= 50; t += 10)
        samples.push_back({t, skDifference, Filler(30000, t)});
    WriteRecording(recording, samples);
    WriteText(sms, SmsText(kGroup, 6107));

    TInNamespace inside(Lab->PlayerNs());
    ASSERT_TRUE(inside.Ok());
    TCastHost host;
    ASSERT_EQ(host.Stream->Addresses(),
              (std::vector<std::string>{TNetLab::PlayerAddress(1), TNetLab::PlayerAddress(2)}));
    host.Stream->Open(sms);
    ASSERT_TRUE(host.WaitReceivers());
    // The same cast reaches the player through both links.
    ASSERT_EQ(CastOnce(*Lab, {"--port", "6107", "--rate", "40", recording}, 1), 0);
    ASSERT_EQ(CastOnce(*Lab, {"--port", "6107", "--rate", "40", recording}, 2), 0);
    ASSERT_TRUE(host.WaitFrames(12));
    std::map<uint32_t, int> copies;
    for (const auto& f : host.Frames())
        ++copies[SampleTimeStamp(f.data())];
    for (const auto& s : samples)
        EXPECT_EQ(copies[s.Time], 2) << s.Time;
    // Each receiver had only its own interface's copy.
    EXPECT_EQ(host.Stream->Receiver(0).Completed(), samples.size());
    EXPECT_EQ(host.Stream->Receiver(1).Completed(), samples.size());
}

} // namespace
} // namespace kiv::test
