// Opening a recording through the reading thread, from disk and from a web server.
#include "fill_test_util.h"
#include "support/nginx.h"

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::test;
using kiv::synth::TRecordingWriter;

namespace {

enum class TSource { Disk, Http };

std::string Name(const ::testing::TestParamInfo<TSource>& info) {
    return info.param == TSource::Disk ? "Disk" : "Http";
}

TBytes Standard(TRecordingWriter& w) {
    TBytes payload(100, 0xAB);
    w.AddSample(MakeHeader(0, skKeyFrame), payload);
    w.AddSample(MakeHeader(40, skDifference), payload);
    w.AddSample(MakeHeader(80, skPointer), nullptr, 0);
    w.AddSample(MakeHeader(1000, skKeyFrame), payload);
    w.AddSample(MakeHeader(1040, skMarker), nullptr, 0);
    return w.Finish();
}

TBytes Standard() {
    TRecordingWriter w(640, 480);
    return Standard(w);
}

// A small recording with records of many sizes, for cutting at every byte.
TBytes Tiny() {
    TRecordingWriter w(16, 16);
    for (uint32_t i = 0; i < 8; ++i) {
        TBytes payload(i * 5 % 23, static_cast<uint8_t>(i));
        w.AddSample(MakeHeader(i * 40, i % 3 == 0 ? skKeyFrame : skDifference), payload);
    }
    return w.Finish();
}

// from, from + step, ... and last itself.
std::vector<size_t> Cuts(size_t from, size_t last, size_t step) {
    std::vector<size_t> out;
    for (size_t n = from; n < last; n += step)
        out.push_back(n);
    out.push_back(last);
    return out;
}

class FillOpen : public ::testing::TestWithParam<TSource> {
protected:
    std::string Address(const std::string& name, const TBytes& bytes) {
        if (GetParam() == TSource::Disk) return Dir.Write(name, bytes);
        Server.Put(name, bytes);
        return Server.Url(name);
    }
    std::string HandleOpenLine(const std::string& text) {
        return "KivPlayer.ocx ->TFillThread.HandleOpen: " + text;
    }

    TTempDir Dir;
    TRecordingServer Server;
    TFillHost Host;
};

} // namespace

TEST_P(FillOpen, LoadsHeaderAndIndexAndTellsTheWindow) {
    TBytes bytes = Standard();
    ASSERT_EQ(Host.Open(Address("a.kiv", bytes)), 0);
    EXPECT_EQ(Host.LastTag, Host.Thread->Tag()) << "the result names the thread that opened";
    EXPECT_EQ(Host.Thread->SourceKind(), GetParam() == TSource::Disk ? skLocalFile : skHttp);
    const auto& h = Host.Context.Header;
    EXPECT_EQ(h.Width, 640);
    EXPECT_EQ(h.Height, 480);
    EXPECT_EQ(h.Duration, 1040u);
    EXPECT_EQ(Host.Context.IndexTable.Count(), 2);
    EXPECT_EQ(Host.Context.IndexTable.PositionOf(1000), 3 * 28u + 200);
    EXPECT_EQ(Host.Context.Frames.Count(), 0) << "opening reads no samples";

    // Every reading thread has a tag of its own.
    const intptr_t first = Host.LastTag;
    Host.Renew();
    ASSERT_EQ(Host.Open(Address("a.kiv", bytes)), 0);
    EXPECT_NE(Host.LastTag, first);
    EXPECT_EQ(Host.LastTag, Host.Thread->Tag());
}

TEST_P(FillOpen, AnswersTheCodesOfDamagedRecordings) {
    const TBytes good = Standard();
    struct TCase {
        const char* What;
        TBytes Bytes;
        int Code;
        std::string Text; // logged after "TFillThread.HandleOpen: "
    };
    std::vector<TCase> cases;
    cases.push_back({"empty", {}, 5, "读取文件头数据失败"});
    cases.push_back({"31 bytes", TBytes(good.begin(), good.begin() + 31), 5, "读取文件头数据失败"});
    {
        TBytes b = good;
        b[0] = 'Q';
        b[1] = 'K';
        cases.push_back({"wrong magic", b, 1, "找不到指定的文件"});
    }
    {
        TRecordingWriter w(640, 480);
        w.HeaderPosition = 0;
        cases.push_back({"HeaderPosition 0", Standard(w), 2, "没有索引信息"});
    }
    {
        TBytes b(good.begin(), good.end() - 16 - 8 * 2 + 10);
        cases.push_back(
            {"short index header", b, 5, "Fail to read Index header:" + std::to_string(b.size())});
    }
    {
        TBytes b(good.begin(), good.end() - 1);
        cases.push_back({"short index", b, 5,
                         "Fail to read index: BytesReaded=15, IndexBufBytes=16, "
                         "HeaderPosition=440, IndexCount=2, Width=640, Height=480"});
    }
    {
        TRecordingWriter w(640, 480);
        w.IndexCount = 0xFFFFFFFFu;
        cases.push_back({"index count beyond the file", Standard(w), 5,
                         "Fail to read index: BytesReaded=16, IndexBufBytes=34359738360, "
                         "HeaderPosition=440, IndexCount=4294967295, Width=640, Height=480"});
    }
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Host.Renew();
        TLogCapture log;
        EXPECT_EQ(Host.Open(Address("case" + std::to_string(n++), c.Bytes)), c.Code);
        EXPECT_EQ(Host.LastTag, Host.Thread->Tag());
        if (GetParam() == TSource::Disk) {
            EXPECT_EQ(log.Lines(), std::vector<std::string>{HandleOpenLine(c.Text)});
        } else {
            // The failed range reads are logged too, before the open's own line.
            auto lines = log.Lines();
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines.back(), HandleOpenLine(c.Text));
        }
        // A failed open leaves no stream: read requests are answered and do nothing.
        EXPECT_TRUE(Host.Pass());
        EXPECT_EQ(Host.Context.Frames.Count(), 0);
    }
}

TEST_P(FillOpen, EveryPrefixOpensOrFailsWithACode) {
    const TBytes full = Tiny();
    const auto expected = RecordsOf(full);
    // Over HTTP a sample of the cuts is enough: the stream is the same.
    const size_t step = GetParam() == TSource::Disk ? 1 : 17;
    TLogCapture quiet;
    for (size_t size : Cuts(0, full.size(), step)) {
        SCOPED_TRACE("prefix of " + std::to_string(size) + " bytes");
        Host.Renew();
        const int code = Host.Open(Address("p.kiv", TBytes(full.begin(), full.begin() + size)));
        if (size == full.size()) {
            ASSERT_EQ(code, 0);
            EXPECT_EQ(Host.ReadAll(), expected);
        } else {
            // The index is last: every cut loses it or the header.
            EXPECT_EQ(code, 5);
            EXPECT_TRUE(Host.Pass()) << "the thread still answers";
        }
    }
}

TEST_P(FillOpen, ASampleAreaCutAnywhereReadsItsWholeRecords) {
    const TBytes full = Tiny();
    const uint32_t area = LoadLE32(full.data() + 12);
    const TBytes index(full.begin() + kFileHeaderSize + area, full.end());
    const size_t step = GetParam() == TSource::Disk ? 1 : 29;
    TLogCapture quiet;
    for (size_t cut : Cuts(1, area, step)) {
        SCOPED_TRACE("sample area of " + std::to_string(cut) + " bytes");
        // The header tells the truth about the cut area; the index still names every key frame.
        TBytes b(full.begin(), full.begin() + kFileHeaderSize + cut);
        StoreLE32(b.data() + 12, static_cast<uint32_t>(cut));
        b.insert(b.end(), index.begin(), index.end());
        Host.Renew();
        ASSERT_EQ(Host.Open(Address("c.kiv", b)), 0);
        EXPECT_EQ(Host.ReadAll(), RecordsOf(b));
        EXPECT_TRUE(Host.Thread->Exhausted());
        EXPECT_FALSE(Host.Thread->Damaged()) << "a cut record is not a damaged one";
        // Seeks to key frames that are no longer there still get an answer.
        EXPECT_GE(Host.SeekShows(240), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, FillOpen, ::testing::Values(TSource::Disk, TSource::Http), Name);

TEST(FillOpenFailures, AMissingFileIsCodeOneAndNotLogged) {
    TTempDir dir;
    TFillHost host;
    TLogCapture log;
    EXPECT_EQ(host.Open(dir.File("missing.kiv")), 1);
    EXPECT_EQ(host.LastTag, host.Thread->Tag());
    host.Renew();
    EXPECT_EQ(host.Open(dir.Path()), 1) << "a folder is not a recording";
    host.Renew();
    // No "/" after the host: the stream cannot be made.
    EXPECT_EQ(host.Open("http://127.0.0.1:9"), 1);
    EXPECT_TRUE(log.Lines().empty()) << log.Lines()[0];
    EXPECT_TRUE(host.Pass());
}

// The stream connects on its first read: the header read meets the 404, and a
// recording that is not there is one that cannot be opened (not a damaged one,
// which would be tried again for ever).
TEST(FillOpenFailures, A404CannotBeOpened) {
    TRecordingServer server;
    TFillHost host;
    TLogCapture log;
    EXPECT_EQ(host.Open(server.Url("missing.kiv")), 1);
    EXPECT_TRUE(log.Has("KivPlayer.ocx ->TInternetStream.Read raise:Http Request result :404"));
    EXPECT_EQ(log.Lines().back(), "KivPlayer.ocx ->TFillThread.HandleOpen: 读取文件头数据失败");
}

TEST(FillOpenFailures, AServerIgnoringRangesCannotServeTheIndex) {
    TBytes bytes = Standard();
    std::string body(bytes.begin(), bytes.end());
    THttpServer server([&](const THttpRequest&) {
        THttpResponse r;
        r.Body = body;
        return r;
    });
    TFillHost host;
    TLogCapture log;
    EXPECT_EQ(host.Open(server.Url("/a.kiv")), 5);
    EXPECT_TRUE(log.Has("KivPlayer.ocx ->TInternetStream.Read raise:Http Request result :200"));
    EXPECT_EQ(log.Lines().back(),
              "KivPlayer.ocx ->TFillThread.HandleOpen: Fail to read Index header:472");
}
