// The seek slider's previews: key frames through the index, thumbnails when a
// recording has them, the cache, superseded and cancelled requests, and the
// time alone for sources that cannot look back.
#include "preview/key_frame_picture.h"
#include "preview/preview_reader.h"
#include "support/kiv_script.h"
#include "support/nginx.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>

namespace kiv {
namespace {

using test::TNginx;
using test::TTempDir;

constexpr uint32_t kKeyInterval = 10000;

synth::TSynthOptions SmallRecording() {
    synth::TSynthOptions o;
    o.Seconds = 35;
    o.Width = 320;
    o.Height = 240;
    o.KeyFrameIntervalMs = kKeyInterval;
    return o;
}

// The answers as they come, waited for without polling.
class TAnswers {
public:
    void Add(const TPreview& p) {
        std::lock_guard guard(FLock);
        FAll.push_back(p);
        FChanged.notify_all();
    }
    // The first answer that has not been returned yet.
    TPreview Next() {
        std::unique_lock guard(FLock);
        const bool came = FChanged.wait_for(guard, std::chrono::seconds(30),
                                            [&] { return FAll.size() > FTaken; });
        if (!came) {
            ADD_FAILURE() << "no preview within 30 s";
            return {};
        }
        return FAll[FTaken++];
    }
    size_t Count() {
        std::lock_guard guard(FLock);
        return FAll.size();
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<TPreview> FAll; // guarded by FLock
    size_t FTaken = 0;          // guarded by FLock
};

// Holds the reader's thread inside its answer to one time until released.
class TGate {
public:
    void Hold(uint32_t ms) {
        std::lock_guard guard(FLock);
        FHeld = ms;
        FEntered = false;
    }
    void Release() {
        std::lock_guard guard(FLock);
        FHeld.reset();
        FChanged.notify_all();
    }
    void Pass(uint32_t ms) {
        std::unique_lock guard(FLock);
        if (FHeld != ms) return;
        FEntered = true;
        FChanged.notify_all();
        FChanged.wait_for(guard, std::chrono::seconds(30), [&] { return !FHeld; });
    }
    bool WaitEntered() {
        std::unique_lock guard(FLock);
        return FChanged.wait_for(guard, std::chrono::seconds(30), [&] { return FEntered; });
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    std::optional<uint32_t> FHeld; // guarded by FLock
    bool FEntered = false;         // guarded by FLock
};

class Preview : public ::testing::Test {
protected:
    void SetUp() override {
        Path = Dir.File("rec.kiv");
        synth::WriteSynthRecording(Path, SmallRecording());
    }
    TTempDir Dir;
    std::string Path;
    TAnswers Answers;
    TGate Gate;
    TPreviewReader Reader{[this](const TPreview& p) {
        Answers.Add(p);
        Gate.Pass(p.Time);
    }};
};

// The mean difference per channel from the screen as the recorder saw it.
double MeanDifference(const TBitmap24& a, const synth::TPicture& b) {
    int64_t sum = 0;
    for (int32_t y = 0; y < a.Height(); ++y) {
        for (int32_t x = 0; x < a.Width(); ++x) {
            const TColorRef p = a.Pixel(x, y);
            const synth::TColor q = b.Pixel(x, y);
            sum +=
                std::abs(RedOf(p) - q.R) + std::abs(GreenOf(p) - q.G) + std::abs(BlueOf(p) - q.B);
        }
    }
    return double(sum) / (3.0 * a.Width() * a.Height());
}

TEST_F(Preview, KeyFrameAtOrBeforeTheTimeIsTheScreenThen) {
    // Lossless key frames must match exactly; JPEG ones closely.
    for (auto [compression, tolerance] : {std::pair{ckZlib, 0.0}, {ckLzo, 0.0}, {ckJpeg, 8.0}}) {
        SCOPED_TRACE(compression);
        auto o = SmallRecording();
        o.OnlyCompression = compression;
        const std::string path = Dir.File("only.kiv");
        synth::WriteSynthRecording(path, o);
        TKeyFramePicture keys(std::make_unique<TFileStream>(path));
        for (uint32_t ms : {0u, 9999u, 10000u, 25000u, 60000u}) {
            SCOPED_TRACE(ms);
            const uint32_t expected =
                std::min(ms, keys.Header().Duration) / kKeyInterval * kKeyInterval;
            ASSERT_EQ(keys.KeyTimeAt(ms), expected);
            TBitmap24 picture;
            ASSERT_TRUE(keys.Read(expected, picture)) << keys.Failure();
            ASSERT_EQ(picture.Width(), o.Width);
            ASSERT_EQ(picture.Height(), o.Height);
            EXPECT_LE(
                MeanDifference(picture, synth::RenderScreen(o.Width, o.Height, o.Seed, expected)),
                tolerance);
        }
    }
}

// A key frame the player would not set a picture up from is not previewed either:
// wider than the recording, or an RLE image claiming 16384 pixels a side in a few bytes.
TEST_F(Preview, KeyFramesTooLargeForTheRecordingAreNotDecoded) {
    using test::bmp_detail::Put32;
    auto rle = test::MakeBmp(1, 1, 8, [](int32_t, int32_t) { return 0u; }, {MakeColor(0, 0, 0)});
    rle.resize(rle.size() - 4);
    rle.insert(rle.end(), {0, 1}); // end of the bitmap
    Put32(rle, 2, static_cast<uint32_t>(rle.size()));
    Put32(rle, 18, 16384);
    Put32(rle, 22, 16384);
    Put32(rle, 30, 1); // RLE8
    Put32(rle, 34, 2);
    test::TScript script(22, 8);
    script.Other(0, skKeyFrame, 0, 0, ckRaw, test::SolidBmp(23, 8, MakeColor(1, 2, 3)));
    script.Other(1000, skKeyFrame, 0, 0, ckRaw, rle);
    script.Key(2000, MakeColor(4, 5, 6));
    script.Write(Path);
    TKeyFramePicture keys(std::make_unique<TFileStream>(Path));
    TBitmap24 picture;
    for (uint32_t key : {0u, 1000u}) {
        EXPECT_FALSE(keys.Read(key, picture)) << key;
        EXPECT_EQ(keys.Failure(), "larger than the recording");
    }
    ASSERT_TRUE(keys.Read(2000, picture)) << keys.Failure();
    EXPECT_EQ(picture.Width(), 22);
}

TEST_F(Preview, AnswersFromTheKeyFrameAndThenFromTheCache) {
    Reader.SetAddress(Path);
    Reader.Request(12500);
    const TPreview first = Answers.Next();
    EXPECT_EQ(first.From, TPreviewFrom::KeyFrame);
    EXPECT_EQ(first.PictureTime, 10000u);
    EXPECT_EQ(first.TimeText, "00:00:12");
    ASSERT_TRUE(first.Picture);
    EXPECT_EQ(first.Picture->Width(), 160); // 320 x 240 fits 160 x 120
    EXPECT_EQ(first.Picture->Height(), 120);
    EXPECT_EQ(Reader.Decoded(), 1u);

    Reader.Request(19999); // the same key frame
    const TPreview again = Answers.Next();
    EXPECT_EQ(again.PictureTime, 10000u);
    EXPECT_EQ(again.Picture, first.Picture);
    EXPECT_EQ(Reader.CacheHits(), 1u);
    EXPECT_EQ(Reader.Decoded(), 1u);

    Reader.Request(20000);
    EXPECT_EQ(Answers.Next().PictureTime, 20000u);
    EXPECT_EQ(Reader.Decoded(), 2u);
}

TEST_F(Preview, OnlyTheNewestRequestIsAnsweredAndCancelledOnesAreNot) {
    Reader.SetAddress(Path);
    Gate.Hold(1000);
    Reader.Request(1000);
    ASSERT_TRUE(Gate.WaitEntered());
    // While the reader is held in its answer: two requests, the second wins.
    Reader.Request(15000);
    const uint64_t newest = Reader.Request(25000);
    Gate.Release();
    EXPECT_EQ(Answers.Next().Time, 1000u);
    const TPreview won = Answers.Next();
    EXPECT_EQ(won.Request, newest);
    EXPECT_EQ(won.PictureTime, 20000u);

    Gate.Hold(5000);
    Reader.Request(5000);
    ASSERT_TRUE(Gate.WaitEntered());
    Reader.Request(30000);
    Reader.Cancel(); // the pointer left the slider
    Gate.Release();
    EXPECT_EQ(Answers.Next().Time, 5000u);
    Reader.Request(31000);
    EXPECT_EQ(Answers.Next().Time, 31000u); // 30000 never came
    EXPECT_EQ(Answers.Count(), 4u);
}

TEST_F(Preview, SourcesThatCannotLookBackGiveTheTimeOnly) {
    for (const char* address : {"KIVS://127.0.0.1/demo", "kivs://127.0.0.1:1804/x",
                                "/nowhere/cast.sms", "http://127.0.0.1:1/cast.SMS"}) {
        SCOPED_TRACE(address);
        Reader.SetAddress(address);
        Reader.Request(3723000);
        const TPreview p = Answers.Next();
        EXPECT_EQ(p.From, TPreviewFrom::TimeOnly);
        EXPECT_FALSE(p.Picture);
        EXPECT_EQ(p.TimeText, "01:02:03");
    }
}

TEST_F(Preview, ThumbnailsArePreferredWhenTheRecordingHasThem) {
    synth::WriteSynthNails(Path, SmallRecording(), 30000, 3); // nail0000..2.jpg
    // A FIFO and a link out of the folder under pictures' names are not read.
    ASSERT_EQ(::mkfifo(Dir.File("nails/fifo.jpg").c_str(), 0600), 0);
    std::filesystem::create_symlink(Path, Dir.File("nails/out.jpg"));
    // Out of order, and none at 0: before the first comes the first.
    std::ofstream(Dir.File("nails.xml"), std::ios::trunc)
        << "15000=nail0001.jpg\r\n5000=nail0000.jpg\r\n25000=nail0002.jpg\r\n35000=fifo.jpg\r\n"
           "45000=out.jpg\r\n\r\n99000=x.jpg\r\n";
    Reader.SetAddress("file://" + Path);
    for (auto [ms, nail] : {std::pair{0u, 5000u},
                            {4999u, 5000u},
                            {5000u, 5000u},
                            {24999u, 15000u},
                            {34999u, 25000u},
                            {35000u, 0u},
                            {60000u, 0u}}) {
        SCOPED_TRACE(ms);
        Reader.Request(ms);
        const TPreview p = Answers.Next();
        ASSERT_EQ(p.Picture != nullptr, nail != 0);
        if (!nail) continue;
        EXPECT_EQ(p.From, TPreviewFrom::Thumbnail);
        EXPECT_EQ(p.PictureTime, nail);
        EXPECT_EQ(p.Picture->Width(), synth::kSynthNailWidth);
    }
}

TEST(PreviewOverHttp, KeyFramesComeThroughRangesAsFromTheFile) {
    if (TNginx::Binary().empty()) GTEST_SKIP() << TNginx::kMissing;
    TNginx server;
    ASSERT_TRUE(server.Running()) << server.Error();
    synth::WriteSynthRecording(server.Root().File("rec.kiv"), SmallRecording());
    TAnswers web, disk;
    TPreviewReader fromWeb([&](const TPreview& p) { web.Add(p); });
    TPreviewReader fromDisk([&](const TPreview& p) { disk.Add(p); });
    fromWeb.SetAddress(server.Url("rec.kiv"));
    fromDisk.SetAddress(server.Root().File("rec.kiv"));
    for (uint32_t ms : {33000u, 500u}) {
        fromWeb.Request(ms);
        fromDisk.Request(ms);
        const TPreview a = web.Next(), b = disk.Next();
        ASSERT_TRUE(a.Picture && b.Picture);
        EXPECT_EQ(a.PictureTime, b.PictureTime);
        ASSERT_EQ(a.Picture->Height(), b.Picture->Height());
        EXPECT_TRUE(std::equal(a.Picture->Bits(),
                               a.Picture->Bits() + a.Picture->Stride() * a.Picture->Height(),
                               b.Picture->Bits()));
    }
}

} // namespace
} // namespace kiv
