// Read passes and seeks of the reading thread, from disk and from a web server.
#include "fill_test_util.h"
#include "support/nginx.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

using namespace kiv;
using namespace kiv::test;
using kiv::synth::TRecordingWriter;

// The largest single allocation since the last reset, to show that a damaged
// record size is never allocated.
namespace {
std::atomic<size_t> gLargestNew{0};
} // namespace

void* operator new(size_t size) {
    size_t seen = gLargestNew.load(std::memory_order_relaxed);
    while (size > seen && !gLargestNew.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
// Paired with the allocation above (a sanitizer checks that they match).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}

namespace {

enum class TSource { Disk, Http };

std::string Name(const ::testing::TestParamInfo<TSource>& info) {
    return info.param == TSource::Disk ? "Disk" : "Http";
}

class FillRead : public ::testing::TestWithParam<TSource> {
protected:
    std::string Address(const std::string& name, const TBytes& bytes) {
        if (GetParam() == TSource::Disk) return Dir.Write(name, bytes);
        Server.Put(name, bytes);
        return Server.Url(name);
    }
    void Open(const TBytes& bytes) {
        Bytes = bytes;
        ASSERT_EQ(Host.Open(Address("r.kiv", bytes)), 0);
    }

    TTempDir Dir;
    TRecordingServer Server;
    TFillHost Host;
    TBytes Bytes;
};

} // namespace

TEST_P(FillRead, DeliversEveryRecordInOrder) {
    Open(StepsRecording());
    auto records = Host.ReadAll();
    EXPECT_EQ(records, RecordsOf(Bytes));
    EXPECT_EQ(records.size(), 40u);
    EXPECT_TRUE(Host.Thread->Exhausted());
    EXPECT_FALSE(Host.Thread->Damaged());
    EXPECT_EQ(Host.Thread->BufferUsed(), 0u);

    // A reset rewinds to the first record.
    Host.Thread->Reset();
    EXPECT_EQ(Host.Context.Frames.Count(), 0);
    EXPECT_FALSE(Host.Thread->Exhausted());
    EXPECT_EQ(Host.ReadAll(), RecordsOf(Bytes));
}

TEST_P(FillRead, SeeksShowTheSampleAtOrBeforeTheTarget) {
    Open(StepsRecording());
    struct {
        int32_t Target;
        int64_t Shows;
    } cases[] = {
        {1500, 1500},  // on a sample
        {1550, 1500},  // between two samples: the earlier one
        {2000, 2000},  // on a key frame
        {1999, 1900},  // just before a key frame: read from the one before
        {3900, 3900},  // the last sample
        {60000, 3900}, // beyond the last sample: the last one
        {0, 0},        // the very start
        {40, 0},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.Target);
        EXPECT_EQ(Host.SeekShows(c.Target), c.Shows);
        // The samples start at the key frame the index names for the target.
        const uint8_t* first = Host.Context.Frames.Sample(0);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(SampleKind(first), skKeyFrame);
        EXPECT_EQ(SampleTimeStamp(first), std::min<uint32_t>(c.Target, 3900) / 1000 * 1000);
    }
}

TEST_P(FillRead, ATargetedReadShowsTheSampleWhenItArrives) {
    Open(StepsRecording());
    // Nothing buffered yet: a read towards 700 reads from the start and stops there.
    Host.Thread->Fill(700);
    Host.Posted();
    TMessage m;
    ASSERT_TRUE(TFillHost::Next(Host.Play, WM_DRAWTO, m));
    EXPECT_EQ(SampleTimeStamp(Host.Context.Frames.Sample(static_cast<int32_t>(m.WParam))), 700u);
    ASSERT_TRUE(Host.WaitPasses(1));
    // Plain requests post nothing to the play thread.
    Host.ReadAll();
    EXPECT_FALSE(Host.Play.Queue.WaitFor(0));
}

TEST_P(FillRead, RecordsLargerThanTheWorkBufferArriveWhole) {
    TRecordingWriter w(1024, 768);
    const size_t sizes[] = {100, 600 * 1024, 50, 1024 * 1024 + 17, 0, 512 * 1024 - 28 + 1};
    uint32_t t = 0;
    for (size_t size : sizes) {
        TBytes payload(size);
        for (size_t k = 0; k < size; ++k)
            payload[k] = static_cast<uint8_t>(k * 13 + size);
        w.AddSample(MakeHeader(t, t == 0 ? skKeyFrame : skReplacement), payload);
        t += 40;
    }
    Open(w.Finish());
    auto records = Host.ReadAll();
    ASSERT_EQ(records.size(), std::size(sizes));
    EXPECT_EQ(records, RecordsOf(Bytes));
}

TEST_P(FillRead, NeverCutsTheIndexAsSamples) {
    // The closing record is not the one Duration names, so only the end of the
    // sample area stops the reading.
    TRecordingWriter w(64, 64);
    TBytes payload(3000, 7);
    for (uint32_t t = 0; t < 2000; t += 100)
        w.AddSample(MakeHeader(t, t % 1000 ? skDifference : skKeyFrame), payload);
    w.Duration = 99999;
    Open(w.Finish());
    auto records = Host.ReadAll();
    EXPECT_EQ(records, RecordsOf(Bytes));
    EXPECT_EQ(records.size(), 20u);
    EXPECT_TRUE(Host.Thread->Exhausted());
    EXPECT_FALSE(Host.Thread->Damaged());
    EXPECT_EQ(Host.Thread->BufferUsed(), 0u);
    if (GetParam() == TSource::Http) {
        const int64_t end = kFileHeaderSize + LoadLE32(Bytes.data() + 12);
        bool sawSamples = false;
        for (const auto& r : Server.Requests()) {
            if (r.From < kFileHeaderSize || r.From >= end) continue; // header and index
            sawSamples = true;
            EXPECT_LT(r.To, end) << "a sample read reached into the index";
        }
        EXPECT_TRUE(sawSamples);
    }
}

TEST_P(FillRead, ADamagedRecordSizeEndsTheReadingWithoutAllocatingIt) {
    TRecordingWriter w(64, 64);
    TBytes payload(2000, 1);
    w.AddSample(MakeHeader(0, skKeyFrame), payload);
    w.AddSample(MakeHeader(40, skDifference), payload);
    // 100 MiB claimed, a few bytes present.
    TSampleHeader bad = MakeHeader(80, skReplacement);
    bad.Length = 100u << 20;
    uint8_t header[kSampleHeaderSize];
    StoreSampleHeader(bad, header);
    w.AddRawBytes(header, sizeof header);
    w.AddSample(MakeHeader(120, skDifference), payload);
    Open(w.Finish());

    TLogCapture log;
    gLargestNew = 0;
    auto records = Host.ReadAll();
    EXPECT_LT(gLargestNew.load(), size_t(8) << 20);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(TimeOf(records[1]), 40u);
    EXPECT_TRUE(Host.Thread->Damaged());
    EXPECT_TRUE(Host.Thread->Exhausted());
    EXPECT_TRUE(log.Has("KivPlayer.ocx ->TFillThread.HandleRead: damaged record of 104857628 "
                        "bytes at " +
                        std::to_string(kFileHeaderSize + 2 * 2028)));

    // Further requests read nothing more; a seek starts afresh and meets the damage again.
    ASSERT_TRUE(Host.Pass());
    EXPECT_EQ(Host.Context.Frames.Count(), 2);
    EXPECT_EQ(Host.SeekShows(0), 0);
    EXPECT_EQ(Host.SeekShows(500), 40) << "the last good sample";
    EXPECT_TRUE(Host.Thread->Damaged());
}

// Source-independent, so from disk only (the web server case is in fill_http_test).
TEST(FillReadFull, ARequestWithoutTargetWaitsWhileTheBufferIsFull) {
    TTempDir dir;
    TFillHost host;
    const TBytes bytes = StepsRecording(5900, 500, 100 * 1024);
    ASSERT_EQ(host.Open(dir.Write("full.kiv", bytes)), 0);
    // 100 KiB records, a key frame every fifth: full after 2 MiB and 3 key frames.
    auto& frames = host.Context.Frames;
    ASSERT_TRUE(host.Pass());
    ASSERT_TRUE(frames.IsFull());
    const int32_t count = frames.Count();
    EXPECT_LT(count, 60) << "the pass stopped once full";
    ASSERT_TRUE(host.Pass());
    EXPECT_EQ(frames.Count(), count) << "nothing read while full";
    EXPECT_FALSE(host.Thread->Exhausted());

    // A read towards a target beyond the buffered samples reads on although full.
    host.Thread->Fill(5000);
    host.Posted();
    TMessage m;
    ASSERT_TRUE(TFillHost::Next(host.Play, WM_DRAWTO, m));
    EXPECT_EQ(SampleTimeStamp(frames.Sample(static_cast<int32_t>(m.WParam))), 5000u);

    // Trimmed by the play thread, reading resumes and reaches the end.
    auto rest = host.ReadAll();
    const auto all = RecordsOf(bytes);
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.back(), all.back());
}

// One key frame and then only updates: the 2 MiB and 3 key frame mark never comes.
TEST(FillReadFull, AtTheLimitAPassStopsEvenShortOfItsTarget) {
    constexpr int64_t kLimit = 1 << 20;
    TTempDir dir;
    TFillHost host;
    const TBytes bytes = StepsRecording(5900, 100000, 100 * 1024);
    auto& frames = host.Context.Frames;
    frames.SetLimits(kLimit, TFramesBuffer::kLimitSamples);
    ASSERT_EQ(host.Open(dir.Write("long.kiv", bytes)), 0);
    host.Thread->Fill(5000);
    host.Posted();
    TMessage m;
    ASSERT_TRUE(TFillHost::Next(host.Play, WM_DRAWTO, m));
    EXPECT_EQ(m.WParam, frames.Count() - 1) << "answered with what there is";
    EXPECT_LT(SampleTimeStamp(frames.Sample(static_cast<int32_t>(m.WParam))), 5000u);
    EXPECT_FALSE(frames.HasRoom());

    // Drawn to the last one and trimmed each time, the whole recording comes through.
    std::vector<TBytes> out;
    for (int32_t held = 0, pass = 0; pass < 100; ++pass) {
        const int32_t count = frames.Count();
        for (int32_t i = held; i < count; ++i)
            out.emplace_back(frames.Sample(i),
                             frames.Sample(i) + SampleRecordSize(frames.Sample(i)));
        if (host.Thread->Exhausted()) break;
        int32_t last = count - 1;
        frames.Trim(last);
        held = last + 1;
        ASSERT_TRUE(host.Pass());
    }
    EXPECT_EQ(out, RecordsOf(bytes));
    EXPECT_LT(frames.PeakByteCount(), kLimit + 110 * 1024);
}

INSTANTIATE_TEST_SUITE_P(Sources, FillRead, ::testing::Values(TSource::Disk, TSource::Http), Name);
