// The reading thread against a web server that is slow, fails or drops
// connections: passes end quietly, later requests go on, and the thread keeps
// answering its owner.
#include "fill_test_util.h"

#include <gtest/gtest.h>

#include <future>

using namespace kiv;
using namespace kiv::test;

namespace {

constexpr int64_t kChunk = 0x8000;

class FillHttp : public ::testing::Test {
protected:
    void Open(const TBytes& bytes = StepsRecording()) {
        Bytes = bytes;
        Server.Put("r.kiv", Bytes);
        ASSERT_EQ(Host.Open(Server.Url("r.kiv")), 0);
    }
    // Requests for the sample area, from the first-th request on.
    std::vector<TRecordingServer::TRequest> SampleReads(size_t first = 0) {
        std::vector<TRecordingServer::TRequest> out;
        const int64_t end = kFileHeaderSize + LoadLE32(Bytes.data() + 12);
        auto all = Server.Requests();
        for (size_t i = first; i < all.size(); ++i)
            if (all[i].From >= kFileHeaderSize && all[i].From < end) out.push_back(all[i]);
        return out;
    }

    TRecordingServer Server;
    TFillHost Host;
    TBytes Bytes;
};

} // namespace

TEST_F(FillHttp, EachPassKeepsOneConnectionAndClosesItAtTheEnd) {
    // Full after 2 MiB, so reading the whole recording takes several passes.
    Open(StepsRecording(3900, 500, 64 * 1024));
    const int opened = Server.Connections();
    auto records = Host.ReadAll();
    EXPECT_EQ(records, RecordsOf(Bytes));
    auto reads = SampleReads();
    ASSERT_GT(reads.size(), 2u);
    EXPECT_EQ(reads.front().From, kFileHeaderSize);
    EXPECT_EQ(reads.front().To, kFileHeaderSize + kChunk - 1) << "chunks of 32 KiB";
    int passes = 1;
    for (size_t i = 1; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].From, reads[i - 1].To + 1) << "no byte read twice or skipped";
        EXPECT_LE(reads[i].To - reads[i].From + 1, kChunk);
        if (reads[i].Connections != reads[i - 1].Connections) ++passes;
    }
    EXPECT_GT(passes, 1);
    EXPECT_EQ(Server.Connections() - opened, passes) << "one connection per pass";
}

TEST_F(FillHttp, AFailedRangeEndsThePassAndTheNextRequestRetriesIt) {
    Open();
    const int64_t failAt = kFileHeaderSize + 2 * kChunk;
    int failures = 0;
    Server.SetFault([&](const TRecordingServer::TRequest& r) -> std::optional<THttpResponse> {
        if (r.From != failAt) return std::nullopt;
        THttpResponse res;
        switch (failures++) {
        case 0:
            res.Status = 500;
            break;
        case 1:
            res.Status = 404;
            break;
        case 2:
            res = THttpServer::Ranged({"GET", r.Target, {{"range", "bytes=0-9"}}}, "0123456789");
            break; // 206 from the wrong place
        case 3:
            res.DropBeforeAnswer = true;
            break;
        case 4: {
            std::string body(static_cast<size_t>(kChunk), 'x');
            res.Status = 206;
            res.Body = body;
            res.DropAfterBodyBytes = 1000;
            res.Headers.push_back({"Content-Range", "bytes " + std::to_string(failAt) + "-" +
                                                        std::to_string(failAt + kChunk - 1) +
                                                        "/*"});
            break;
        }
        default:
            return std::nullopt;
        }
        return res;
    });
    TLogCapture log;
    auto& frames = Host.Context.Frames;
    ASSERT_TRUE(Host.Pass());
    const int32_t before = frames.Count();
    EXPECT_GT(before, 0);
    EXPECT_FALSE(Host.Thread->Exhausted());
    for (int i = 1; i < 5; ++i) {
        ASSERT_TRUE(Host.Pass());
        EXPECT_EQ(frames.Count(), before) << "attempt " << i;
    }
    EXPECT_EQ(log.Lines().size(), 5u);
    EXPECT_TRUE(log.Has("KivPlayer.ocx ->TInternetStream.Read raise:Http Request result :500"));
    EXPECT_TRUE(log.Has("KivPlayer.ocx ->TInternetStream.Read raise:Http Request result :404"));
    // The sixth attempt is served: nothing was lost or read twice.
    std::vector<TBytes> all;
    for (int32_t i = 0; i < before; ++i) {
        const uint8_t* s = frames.Sample(i);
        all.emplace_back(s, s + SampleRecordSize(s));
    }
    for (auto& r : Host.ReadAll())
        all.push_back(std::move(r));
    EXPECT_EQ(all, RecordsOf(Bytes));
    EXPECT_TRUE(Host.Thread->Exhausted());
}

TEST_F(FillHttp, AServerThatClosesEveryConnectionIsReadWhole) {
    Server.SetFault([&](const TRecordingServer::TRequest& r) -> std::optional<THttpResponse> {
        THttpResponse res = THttpServer::Ranged(
            {"GET",
             r.Target,
             {{"range", "bytes=" + std::to_string(r.From) + "-" + std::to_string(r.To)}}},
            std::string(Bytes.begin(), Bytes.end()));
        res.Close = true;
        return res;
    });
    Open();
    EXPECT_EQ(Host.ReadAll(), RecordsOf(Bytes));
    EXPECT_EQ(Server.Connections(), static_cast<int>(Server.Requests().size()));
}

// Messages that arrive while a chunk is on its way: the pass checks before every chunk.
TEST_F(FillHttp, ASeekOrATargetInterruptsAPassAndAPlainRequestDoesNot) {
    struct TCase {
        const char* What;
        uint32_t Msg;
        intptr_t WParam;
        bool Interrupts;
        int Reads; // read requests handled in all, the held pass included
    } cases[] = {
        {"WM_SEEK", WM_SEEK, 2500, true, 1},
        {"WM_READ with a target", WM_READ, 2500, true, 2},
        {"WM_READ -1", WM_READ, -1, false, 2},
        {"WM_READ 0", WM_READ, 0, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Host.Renew();
        const size_t start = Server.Requests().size();
        Open();
        const int64_t held = kFileHeaderSize + 2 * kChunk;
        Server.HoldAt(held);
        Host.Thread->Fill(-1);
        Host.Posted();
        ASSERT_TRUE(Server.WaitHeld(static_cast<int>(&c - cases) + 1));
        Host.Thread->Fill(-1); // dropped: a pass runs
        Host.Thread->Post(c.Msg, c.WParam, 0);
        if (c.Msg == WM_READ) Host.Posted();
        Server.Release();
        ASSERT_TRUE(Host.WaitPasses(static_cast<uint64_t>(c.Reads)));
        if (c.Msg == WM_SEEK) {
            TMessage m;
            ASSERT_TRUE(TFillHost::Next(Host.Play, WM_DRAWTO, m));
            ASSERT_TRUE(Host.Pass()); // the seek's pass is over
        }
        auto reads = SampleReads(start);
        size_t i = 0;
        while (i < reads.size() && reads[i].From != held)
            ++i;
        ASSERT_LT(i + 1, reads.size());
        const auto& next = reads[i + 1];
        const int64_t keyAt = kFileHeaderSize + Host.Context.IndexTable.PositionOf(2000);
        ASSERT_NE(keyAt, held + kChunk);
        if (c.Msg == WM_SEEK) {
            EXPECT_EQ(next.From, keyAt) << "the seek's reading came next";
        } else {
            EXPECT_EQ(next.From, held + kChunk);
            if (c.Interrupts)
                EXPECT_NE(next.Connections, reads[i].Connections) << "a new pass went on";
            else
                EXPECT_EQ(next.Connections, reads[i].Connections) << "the same pass went on";
        }
        EXPECT_EQ(Host.Thread->Passes(), static_cast<uint64_t>(c.Msg == WM_SEEK ? 2 : c.Reads))
            << "the Fill(-1) made during the pass was dropped";
    }
}

TEST_F(FillHttp, StopReturnsWhileAReadIsStuckAndTheThreadAnswersLater) {
    Open();
    Server.HoldAt(kFileHeaderSize + kChunk);
    Host.Thread->Fill(-1);
    Host.Posted();
    ASSERT_TRUE(Server.WaitHeld(1));
    // Returns after its bounded wait: the stop cannot be handled while the read hangs.
    Host.Thread->Stop();
    Server.Release();
    ASSERT_TRUE(Host.WaitPasses(1));
    EXPECT_FALSE(Host.Thread->Exhausted()) << "the stop interrupted the pass";
    auto& frames = Host.Context.Frames;
    std::vector<TBytes> all;
    for (int32_t i = 0; i < frames.Count(); ++i) {
        const uint8_t* s = frames.Sample(i);
        all.emplace_back(s, s + SampleRecordSize(s));
    }
    for (auto& r : Host.ReadAll())
        all.push_back(std::move(r));
    EXPECT_EQ(all, RecordsOf(Bytes));
}

// A stop that timed out is still handled later; the reset that follows it must
// wait for its own handling, not return on the stop's late signal.
TEST_F(FillHttp, AResetAfterATimedOutStopWaitsForTheReset) {
    Open();
    Server.HoldAt(kFileHeaderSize + kChunk);
    Server.HoldAt(kFileHeaderSize + 2 * kChunk);
    Host.Thread->Fill(-1);
    Host.Posted();
    ASSERT_TRUE(Server.WaitHeld(1));
    Host.Thread->Stop(); // times out
    Host.Thread->Post(WM_READ, -1, 0);
    Host.Posted();
    Server.Release(); // the stop is handled; the next pass hangs on the next chunk
    ASSERT_TRUE(Server.WaitHeld(2));

    auto reset = std::async(std::launch::async, [&] { Host.Thread->Reset(); });
    // The reading thread is stuck in a read, so it cannot have reset anything yet.
    EXPECT_EQ(reset.wait_for(std::chrono::milliseconds(1500)), std::future_status::timeout)
        << "Reset returned before the reading thread handled it";
    Server.Release();
    reset.get();
    EXPECT_EQ(Host.Context.Frames.Count(), 0) << "Reset returned with the samples still there";
}

TEST_F(FillHttp, DestroyEndsAReadThatHangs) {
    Open();
    Server.HoldAt(kFileHeaderSize);
    Host.Thread->Fill(-1);
    ASSERT_TRUE(Server.WaitHeld(1));
    TLogCapture log;
    Host.Close(); // the read under way gives up; the server still holds its answer
    EXPECT_TRUE(log.Lines().empty()) << log.Lines()[0];
    Server.Release();
}
