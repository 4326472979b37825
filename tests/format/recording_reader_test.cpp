#include "format/recording_reader.h"
#include "support/samples.h"
#include "synth/recording_writer.h"

#include <gtest/gtest.h>

using namespace kiv;
using kiv::synth::TRecordingWriter;
using kiv::test::MakeHeader;

namespace {

// Key frames at 0 and 1000, updates between, a marker last.
TRecordingWriter& Standard(TRecordingWriter& w) {
    std::vector<uint8_t> payload(100, 0xAB);
    w.AddSample(MakeHeader(0, skKeyFrame), payload);
    w.AddSample(MakeHeader(40, skDifference), payload);
    w.AddSample(MakeHeader(80, skPointer), nullptr, 0);
    w.AddSample(MakeHeader(1000, skKeyFrame), payload);
    w.AddSample(MakeHeader(1040, skMarker), nullptr, 0);
    return w;
}

TOpenedRecording Open(std::vector<uint8_t> bytes, int32_t maxPerRead = INT32_MAX) {
    TMemoryStream s(std::move(bytes), maxPerRead);
    return OpenRecording(s);
}

std::vector<uint32_t> Walk(std::vector<uint8_t> bytes, bool* complete = nullptr,
                           int32_t maxPerRead = INT32_MAX) {
    TMemoryStream s(std::move(bytes), maxPerRead);
    TOpenedRecording r = OpenRecording(s);
    EXPECT_EQ(r.Code, 0) << r.Text;
    std::vector<uint32_t> times;
    TRecordingWalker walker(s, r.Header);
    bool ok = walker.Run([&](TSampleBlock b) { times.push_back(SampleTimeStamp(b.get())); });
    if (complete) *complete = ok;
    return times;
}

} // namespace

TEST(OpenRecording, ReadsHeaderAndIndexAndStopsAtTheSampleArea) {
    TRecordingWriter w(1024, 768);
    auto bytes = Standard(w).Finish();
    TOpenedRecording r = Open(bytes, 3);
    ASSERT_EQ(r.Code, 0) << r.Text;
    EXPECT_EQ(r.Header.Width, 1024);
    EXPECT_EQ(r.Header.Height, 768);
    EXPECT_EQ(r.Header.Duration, 1040u);
    EXPECT_EQ(r.Header.HeaderPosition, 5 * 28u + 300);
    EXPECT_EQ(r.DataStart, 32);
    ASSERT_EQ(r.Entries.size(), 2u);
    EXPECT_EQ(r.Entries[1].TimeStamp, 1000u);
    EXPECT_EQ(r.Entries[1].Offset, 3 * 28u + 200);
}

TEST(OpenRecording, AnswersTheResultCodesOfDamagedFiles) {
    auto good = [] {
        TRecordingWriter w(640, 480);
        return Standard(w).Finish();
    };
    {
        auto b = good();
        b.resize(31);
        auto r = Open(b);
        EXPECT_EQ(r.Code, 5);
        EXPECT_EQ(r.Text, "读取文件头数据失败");
    }
    {
        auto b = good();
        b[0] = 'Q';
        b[1] = 'K';
        auto r = Open(b);
        EXPECT_EQ(r.Code, 1) << "the magic is checked before anything else";
        EXPECT_EQ(r.Text, "找不到指定的文件");
    }
    {
        TRecordingWriter w(640, 480);
        w.HeaderPosition = 0;
        auto r = Open(Standard(w).Finish());
        EXPECT_EQ(r.Code, 2) << "even though samples follow";
        EXPECT_EQ(r.Text, "没有索引信息");
    }
    {
        auto b = good();
        b.resize(b.size() - 16 - 8 * 2 + 10);
        auto r = Open(b);
        EXPECT_EQ(r.Code, 5);
        EXPECT_EQ(r.Text.rfind("Fail to read Index header:", 0), 0u) << r.Text;
    }
    {
        auto b = good();
        b.pop_back();
        auto r = Open(b);
        EXPECT_EQ(r.Code, 5);
        EXPECT_EQ(r.Text, "Fail to read index: BytesReaded=15, IndexBufBytes=16, "
                          "HeaderPosition=440, IndexCount=2, Width=640, Height=480");
    }
    {
        // A count of four thousand million entries over 16 bytes of index must end as a
        // short read, not as an attempt to allocate 32 GB first.
        TRecordingWriter w(640, 480);
        w.IndexCount = 0xFFFFFFFFu;
        auto r = Open(Standard(w).Finish());
        EXPECT_EQ(r.Code, 5);
        EXPECT_NE(r.Text.find("BytesReaded=16, IndexBufBytes=34359738360"), std::string::npos)
            << r.Text;
    }
}

TEST(OpenRecording, CollapsesEqualNeighboursAndOpensWithoutIndex) {
    TRecordingWriter w(8, 8);
    w.AutoIndex = false;
    w.AddIndexEntry({0, 0});
    w.AddIndexEntry({0, 50});
    w.AddIndexEntry({500, 60});
    w.AddSample(MakeHeader(0, skKeyFrame), nullptr, 0);
    auto r = Open(w.Finish());
    ASSERT_EQ(r.Code, 0);
    ASSERT_EQ(r.Entries.size(), 2u);
    EXPECT_EQ(r.Entries[0].Offset, 0u);

    TRecordingWriter empty(8, 8);
    empty.AutoIndex = false;
    empty.AddSample(MakeHeader(0, skKeyFrame), nullptr, 0);
    auto e = Open(empty.Finish());
    EXPECT_EQ(e.Code, 0);
    EXPECT_TRUE(e.Entries.empty());
}

TEST(OpenRecording, KeepsOnlyTheNewestEntriesOfAHugeIndex) {
    TRecordingWriter w(8, 8);
    w.AutoIndex = false;
    for (uint32_t i = 0; i < kMaxIndexEntries + 5; ++i)
        w.AddIndexEntry({i, i});
    w.AddSample(MakeHeader(0, skKeyFrame), nullptr, 0);
    auto r = Open(w.Finish());
    ASSERT_EQ(r.Code, 0);
    ASSERT_EQ(r.Entries.size(), kMaxIndexEntries);
    EXPECT_EQ(r.Entries.front().TimeStamp, 5u);
}

TEST(RecordingWalker, EndsAtTheDurationRecordOrTheEndOfTheSampleArea) {
    {
        TRecordingWriter w(8, 8);
        Standard(w);
        w.Duration = 80;
        bool complete = false;
        EXPECT_EQ(Walk(w.Finish(), &complete), (std::vector<uint32_t>{0, 40, 80}));
        EXPECT_TRUE(complete);
    }
    {
        // Duration matches nothing: the walk ends where the index begins and never
        // parses the index as samples.
        TRecordingWriter w(8, 8);
        Standard(w);
        w.Duration = 77777;
        bool complete = false;
        EXPECT_EQ(Walk(w.Finish(), &complete, 5), (std::vector<uint32_t>{0, 40, 80, 1000, 1040}));
        EXPECT_TRUE(complete);
    }
    {
        TRecordingWriter w(8, 8);
        Standard(w);
        auto bytes = w.Finish();
        TKivFileHeader header = ParseFileHeader(bytes.data());
        bytes.resize(32 + 28 + 100 + 50); // the stream stops inside the second record
        TMemoryStream s(bytes);
        s.Seek(32, soBeginning);
        TRecordingWalker walker(s, header);
        size_t count = 0;
        EXPECT_FALSE(walker.Run([&](TSampleBlock) { ++count; }));
        EXPECT_EQ(count, 1u);
        EXPECT_NE(walker.Failure().find("ended at byte"), std::string::npos) << walker.Failure();
    }
}

TEST(RecordingWalker, EveryPrefixOfARecordingOpensOrFailsWithACode) {
    TRecordingWriter w(8, 8);
    auto bytes = Standard(w).Finish();
    for (size_t n = 0; n <= bytes.size(); ++n) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(n));
        TMemoryStream s(prefix);
        TOpenedRecording r = OpenRecording(s);
        if (n < bytes.size()) {
            EXPECT_NE(r.Code, 0) << n << " bytes: the index lies at the end";
            EXPECT_TRUE(r.Code == 5) << n << ": " << r.Code;
        } else {
            ASSERT_EQ(r.Code, 0);
            TRecordingWalker walker(s, r.Header);
            size_t count = 0;
            EXPECT_TRUE(walker.Run([&](TSampleBlock) { ++count; }));
            EXPECT_EQ(count, 5u);
        }
    }
}

// A key frame sets the picture up within the recording's size, when the header gives
// one, and within 8192 pixels a side and 8192 x 4320 in all.
TEST(PictureSize, KeyFramesMustFitTheRecordingAndTheLimit) {
    TKivFileHeader recording{};
    recording.Width = 64;
    recording.Height = 48;
    const TKivFileHeader unknown{}; // gives no size
    const struct {
        int64_t Width, Height;
        const TKivFileHeader& Header;
        bool Fits;
    } cases[] = {
        {64, 48, recording, true},      {10, 4, recording, true},
        {0, 48, recording, false},      {64, 0, recording, false},
        {-64, 48, recording, false},    {65, 48, recording, false},
        {64, 49, recording, false},     {16384, 16384, recording, false},
        {8192, 4320, unknown, true},    {4320, 8192, unknown, true},
        {8193, 1, unknown, false},      {8192, 4321, unknown, false},
        {16384, 16384, unknown, false}, {0, 0, unknown, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PictureSizeProblem(c.Width, c.Height, c.Header) == nullptr, c.Fits)
            << c.Width << " x " << c.Height << " in " << c.Header.Width << " x " << c.Header.Height;
}
