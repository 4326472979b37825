#include "control/record_reader.h"
#include "net/address.h"
#include "sources/fill_test_util.h"
#include "support/nginx.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kiv;
using namespace kiv::test;

namespace {

struct TRead {
    std::vector<TBytes> Records;
    int64_t MostBuffered = 0;
    std::string Failure;
};

TRead ReadAll(TRecordReader& reader) {
    TRead read;
    while (const uint8_t* r = reader.Next()) {
        read.Records.emplace_back(r, r + SampleRecordSize(r));
        read.MostBuffered = std::max(read.MostBuffered, reader.BufferedBytes());
    }
    read.Failure = reader.Failure();
    return read;
}

// Every compression, and a record larger than the reading thread's work buffer.
TBytes SynthBytes() {
    synth::TSynthOptions o;
    o.Seconds = 12;
    o.Width = 640;
    o.Height = 480;
    o.KeyFrameIntervalMs = 4000;
    o.LargeRawRecord = true;
    return synth::MakeSynthRecording(o);
}

} // namespace

// From disk and from a web server, every record
// of the sample area arrives whole and in order, and then the end.
TEST(RecordReader, ReadsEveryRecordOfTheRecording) {
    TTempDir dir;
    TRecordingServer server;
    const struct {
        const char* Name;
        TBytes Bytes;
    } recordings[] = {{"steps.kiv", StepsRecording()}, {"synth.kiv", SynthBytes()}};
    for (const auto& rec : recordings) {
        const std::string path = dir.Write(rec.Name, rec.Bytes);
        server.Put(rec.Name, rec.Bytes);
        for (const std::string& address : {path, server.Url(rec.Name)}) {
            SCOPED_TRACE(address);
            TRecordReader reader;
            ASSERT_EQ(reader.Open(address), srOk) << reader.Failure();
            EXPECT_EQ(reader.Header().Duration, LoadLE32(rec.Bytes.data() + 8));
            const TRead read = ReadAll(reader);
            EXPECT_EQ(read.Failure, "");
            EXPECT_TRUE(read.Records == RecordsOf(rec.Bytes));
            EXPECT_EQ(reader.Next(), nullptr) << "the end stays the end";
        }
    }
}

TEST(RecordReader, OpenFailuresGiveTheControlsCodeAndLine) {
    TTempDir dir;
    TBytes noIndex = StepsRecording();
    StoreLE32(noIndex.data() + 12, 0);
    const struct {
        std::string Address, Shown;
        int Code;
    } cases[] = {
        {dir.File("missing.kiv"), dir.File("missing.kiv"), srCannotOpen},
        {"file://" + dir.File("missing.kiv"), dir.File("missing.kiv"), srCannotOpen},
        {dir.Write("short.kiv", TBytes(20, 'K')), dir.File("short.kiv"), srDamaged},
        {dir.Write("noindex.kiv", noIndex), dir.File("noindex.kiv"), srNoIndex},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Address);
        TRecordReader reader;
        EXPECT_EQ(reader.Open(c.Address), c.Code);
        EXPECT_EQ(reader.Failure(), SourceFailureMessage(c.Code, c.Shown));
        EXPECT_EQ(reader.Next(), nullptr);
    }
}

// A record whose size cannot be real ends reading after the ones before it; a
// server that fails half-way ends it once the limit has passed without a record.
TEST(RecordReader, StopsShortSayingWhere) {
    TTempDir dir;
    const TBytes bytes = StepsRecording();
    const auto records = RecordsOf(bytes);
    TBytes damaged = bytes;
    uint64_t at = kFileHeaderSize;
    for (size_t i = 0; i < 7; ++i)
        at += records[i].size();
    StoreLE32(damaged.data() + at + 12, 0xFFFFFF00u); // its Length

    TRecordingServer server;
    server.Put("a.kiv", bytes);
    const int64_t brokenFrom = static_cast<int64_t>(kFileHeaderSize + bytes.size() / 2);
    server.SetFault([&](const TRecordingServer::TRequest& r) -> std::optional<THttpResponse> {
        if (r.From < brokenFrom || r.From >= kFileHeaderSize + LoadLE32(bytes.data() + 12))
            return std::nullopt;
        THttpResponse res;
        res.Status = 500;
        return res;
    });

    {
        TRecordReader reader;
        ASSERT_EQ(reader.Open(dir.Write("damaged.kiv", damaged)), srOk);
        const TRead read = ReadAll(reader);
        EXPECT_EQ(read.Records.size(), 7u);
        EXPECT_EQ(read.Failure, "a damaged record follows record 7");
    }
    {
        TRecordReader reader(300);
        ASSERT_EQ(reader.Open(server.Url("a.kiv")), srOk);
        const TRead read = ReadAll(reader);
        ASSERT_FALSE(read.Records.empty());
        ASSERT_LT(read.Records.size(), records.size());
        EXPECT_TRUE(std::equal(read.Records.begin(), read.Records.end(), records.begin()));
        EXPECT_EQ(read.Failure, "the source stopped delivering after " +
                                    std::to_string(read.Records.size()) + " records");
    }
}

// What has been handed out goes: a recording many times the buffer's size is
// read through without the buffer growing much past its full mark.
TEST(RecordReader, KeepsTheBufferBoundedOverALongRecording) {
    TTempDir dir;
    const TBytes bytes = StepsRecording(49900, 1000, 40000);
    ASSERT_GT(bytes.size(), 16u << 20);
    TRecordReader reader;
    ASSERT_EQ(reader.Open(dir.Write("long.kiv", bytes)), srOk);
    const TRead read = ReadAll(reader);
    EXPECT_EQ(read.Failure, "");
    EXPECT_EQ(read.Records.size(), RecordsOf(bytes).size());
    EXPECT_LE(read.MostBuffered, 4 << 20);
}

// A server trickling the sample area, each record taking longer than the limit
// to arrive: the bytes coming in are progress, and reading goes on to the end.
TEST(RecordReader, ATrickleIsReadAsSlowlyAsItComes) {
    const TBytes bytes = StepsRecording(100, 1000, 1200); // two records of 1.2 and 2.2 KB
    TRecordingServer server;
    server.Put("a.kiv", bytes);
    const int64_t end = kFileHeaderSize + LoadLE32(bytes.data() + 12);
    server.SetFault([&](const TRecordingServer::TRequest& r) -> std::optional<THttpResponse> {
        if (r.From < kFileHeaderSize || r.From >= end) return std::nullopt;
        const std::string range = std::to_string(r.From) + "-" + std::to_string(r.To);
        THttpResponse res = THttpServer::Ranged({"GET", r.Target, {{"range", "bytes=" + range}}},
                                                std::string(bytes.begin(), bytes.end()));
        res.TrickleBytes = 32; // 1.6 KB/s
        res.TrickleMs = 20;
        return res;
    });
    TRecordReader reader(500);
    ASSERT_EQ(reader.Open(server.Url("a.kiv")), srOk);
    const TRead read = ReadAll(reader);
    EXPECT_EQ(read.Failure, "");
    EXPECT_TRUE(read.Records == RecordsOf(bytes));
}
