// Exports read back with FFmpeg's libraries and compared with kivtool snapshot at
// each frame's time: every format, variable and fixed rates, ranges, the rate,
// damaged samples, cancelling and the refusals.
#include "decoded_video.h"
#include "export/exporter.h"
#include "support/kiv_script.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kiv;
using namespace kiv::test;

namespace {

namespace fs = std::filesystem;

struct TFixture {
    TScriptDir Dir;
    std::string Recording = Dir.File("rec.kiv");
    std::string Err = Dir.File("err.txt");
    std::string Shot = Dir.File("shot.png");

    TFixture() {
        synth::TSynthOptions o;
        o.Seconds = 4;
        o.Width = 320;
        o.Height = 240;
        o.MarkerIntervalMs = 1500;
        synth::WriteSynthRecording(Recording, o);
    }

    std::vector<TDecodedFrame> Read(const std::string& out, bool folder) {
        std::string error;
        auto frames = folder ? ReadPictureFolder(out, error) : DecodeVideo(out, error);
        EXPECT_TRUE(error.empty()) << error;
        return frames;
    }

    // A few frames spread over the export match the snapshots at their recording times.
    void ExpectPictures(const std::vector<TDecodedFrame>& frames, int64_t fromMs, double rate,
                        double minPsnr, size_t upTo) {
        for (size_t i = 0; i < upTo; i += std::max<size_t>(1, upTo / 5)) {
            TRgbImage want;
            const auto at = fromMs + static_cast<int64_t>(std::llround(frames[i].Ms * rate));
            ASSERT_TRUE(Snapshot(Recording, at, Shot, want, Err));
            const double psnr = Psnr(frames[i].Picture, want);
            EXPECT_GE(psnr, minPsnr) << "frame " << i << " at " << frames[i].Ms << " ms";
        }
    }
};

TExportOptions Options(const TFixture& f, const std::string& out) {
    TExportOptions o;
    o.Address = f.Recording;
    o.Output = out;
    return o;
}

} // namespace

TEST(Export, EveryFormatRoundTripsWithFramesOnlyWhenThePictureChanges) {
    struct TCase {
        const char* Out;
        bool Cfr;
        double MinPsnr; // 99: identical
    };
    const TCase cases[] = {
        {"a.mp4", false, 28}, {"a.webm", false, 28}, {"a.mkv", false, 99},
        {"a.gif", false, 24}, {"pics/", false, 99},  {"cfr.mkv", true, 99},
    };
    TFixture f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Out);
        TExportOptions o = Options(f, f.Dir.File(c.Out));
        o.Cfr = c.Cfr;
        TExportCancel cancel;
        const TExportResult r = RunExport(o, {}, cancel);
        ASSERT_EQ(r.Code, 0) << r.Message;
        const bool folder = std::string(c.Out).back() == '/';
        EXPECT_FALSE(fs::exists(r.Output + ".part"));
        const auto frames = f.Read(r.Output, folder);
        ASSERT_GE(frames.size(), 10u);
        // Files end with the last picture again at the end, so that it shows until then.
        const size_t shown = frames.size() - (folder || c.Cfr ? 0 : 1);
        EXPECT_EQ(shown, r.Frames);
        EXPECT_EQ(frames[0].Ms, 0);
        for (size_t i = 1; i < frames.size(); ++i) {
            const int64_t gap = frames[i].Ms - frames[i - 1].Ms;
            if (c.Cfr)
                EXPECT_TRUE(gap == 33 || gap == 34) << "frame " << i << ": " << gap;
            else
                EXPECT_GE(gap, 30) << "frame " << i << ": the cap of 30 a second";
            // Without a change there is no new frame.
            if (!c.Cfr && c.MinPsnr == 99 && i < shown) {
                EXPECT_NE(frames[i].Picture.Pixels, frames[i - 1].Picture.Pixels) << i;
            }
        }
        EXPECT_NEAR(static_cast<double>(frames.back().Ms), 4000, 100) << "the recording's length";
        f.ExpectPictures(frames, 0, 1, c.MinPsnr, shown);
    }
}

TEST(Export, RangesByTimeAndMarkerAndTheRateGiveTheRecordingsTimes) {
    struct TCase {
        const char* From;
        const char* To;
        double Rate;
        int64_t FromMs, ToMs;
    };
    // The synthetic recording's markers: "Chapter 1" at 1520, "Chapter 2" at 3041.
    const TCase cases[] = {
        {"1000", "0:00:03.200", 1, 1000, 3200},
        {"marker:1", "marker:Chapter 2", 1, 1520, 3041},
        {"500", "", 2, 500, 4000},
    };
    TFixture f;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.From) + " " + c.To);
        TExportOptions o = Options(f, f.Dir.File("r.mkv"));
        o.Force = true;
        o.Rate = c.Rate;
        ASSERT_TRUE(ParseExportTime(c.From, o.From));
        if (*c.To) {
            ASSERT_TRUE(ParseExportTime(c.To, o.To));
        }
        TExportCancel cancel;
        const TExportResult r = RunExport(o, {}, cancel);
        ASSERT_EQ(r.Code, 0) << r.Message;
        const auto frames = f.Read(r.Output, false);
        ASSERT_GE(frames.size(), 3u);
        EXPECT_EQ(frames[0].Ms, 0);
        EXPECT_NEAR(static_cast<double>(frames.back().Ms), (c.ToMs - c.FromMs) / c.Rate, 40);
        f.ExpectPictures(frames, c.FromMs, c.Rate, 99, frames.size() - 1);
    }
}

TEST(Export, SkipIdleShortensAnIdleStretchAsPlayingDoes) {
    TFixture f;
    TScript s(64, 48);
    s.Key(0, MakeColor(10, 20, 30))
        .Region(200, skReplacement, {0, 0, 16, 16}, MakeColor(200, 0, 0))
        .Region(5200, skReplacement, {32, 0, 48, 16}, MakeColor(0, 200, 0))
        .Region(5400, skReplacement, {0, 16, 16, 32}, MakeColor(0, 0, 200));
    s.Write(f.Recording);
    const int64_t recorded[] = {0, 200, 5200, 5400};
    struct TCase {
        bool SkipIdle;
        int64_t Shown[4];
    };
    // The 5 s without a sample lasts the idle cap (0.5 s) once skipped.
    const TCase cases[] = {{false, {0, 200, 5200, 5400}}, {true, {0, 200, 700, 900}}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.SkipIdle);
        TExportOptions o = Options(f, f.Dir.File("idle/"));
        o.SkipIdle = c.SkipIdle;
        o.Force = true;
        TExportCancel cancel;
        const TExportResult r = RunExport(o, {}, cancel);
        ASSERT_EQ(r.Code, 0) << r.Message;
        const auto frames = f.Read(r.Output, true);
        ASSERT_EQ(frames.size(), 4u);
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_NEAR(frames[i].Ms, c.Shown[i], 2) << "frame " << i;
            TRgbImage want;
            ASSERT_TRUE(Snapshot(f.Recording, recorded[i], f.Shot, want, f.Err));
            EXPECT_EQ(Psnr(frames[i].Picture, want), 99) << "frame " << i;
        }
    }
}

TEST(Export, DamagedSamplesArePassedOverAndCounted) {
    TFixture f;
    TScript s(64, 48);
    s.Key(0, MakeColor(10, 20, 30))
        .Region(200, skReplacement, {0, 0, 16, 16}, MakeColor(200, 0, 0))
        .Other(400, skReplacement, 16, 0, ckLzo, std::vector<uint8_t>(20, 0xFF))
        .Region(600, skReplacement, {32, 0, 48, 16}, MakeColor(0, 200, 0))
        .Region(800, skReplacement, {0, 16, 16, 32}, MakeColor(0, 0, 200));
    s.Write(f.Recording);
    TExportOptions o = Options(f, f.Dir.File("d/"));
    TExportCancel cancel;
    const TExportResult r = RunExport(o, {}, cancel);
    ASSERT_EQ(r.Code, 0) << r.Message;
    EXPECT_EQ(r.Skipped, 1u);
    const auto frames = f.Read(r.Output, true);
    ASSERT_EQ(frames.size(), 4u) << "the damaged one changes nothing";
    f.ExpectPictures(frames, 0, 1, 99, frames.size());
}

TEST(Export, CancellingLeavesNothingBehind) {
    TFixture f;
    for (const char* out : {"c.mp4", "c/"}) {
        SCOPED_TRACE(out);
        TExportOptions o = Options(f, f.Dir.File(out));
        TExportCancel cancel;
        const TExportResult r = RunExport(
            o, [&](const TExportProgress&) { cancel.Cancel(); }, cancel);
        EXPECT_EQ(r.Code, kExportCancelled);
        EXPECT_FALSE(fs::exists(f.Dir.File("c.mp4")));
        EXPECT_FALSE(fs::exists(f.Dir.File("c.mp4.part")));
        EXPECT_FALSE(fs::exists(f.Dir.File("c")));
        EXPECT_FALSE(fs::exists(f.Dir.File("c.part")));
    }
}

TEST(Export, RefusalsSayWhy) {
    TFixture f;
    std::FILE* file = std::fopen(f.Dir.File("taken.mp4").c_str(), "w");
    ASSERT_TRUE(file);
    std::fclose(file);
    fs::create_directory(f.Dir.File("mine"));
    std::fclose(std::fopen(f.Dir.File("mine/notes.txt").c_str(), "w"));
    struct TCase {
        std::string Out;
        bool Force;
        int Code;
        const char* Says;
    };
    const TCase cases[] = {
        {"a.xyz", false, kExportUsage, "cannot tell the format"},
        {"no/such/a.mp4", false, kExportFailed, "no folder"},
        {"taken.mp4/a.mp4", false, kExportFailed, "no folder"},
        {"taken.mp4", false, kExportUsage, "exists (--force replaces it)"},
        {"mine/", true, kExportUsage, "holds other files"},
        {"taken.mp4", true, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Out);
        TExportOptions o = Options(f, f.Dir.File(c.Out));
        o.Force = c.Force;
        TExportCancel cancel;
        const TExportResult r = RunExport(o, {}, cancel);
        EXPECT_EQ(r.Code, c.Code) << r.Message;
        EXPECT_NE(r.Message.find(c.Says), std::string::npos) << r.Message;
    }
    EXPECT_TRUE(fs::exists(f.Dir.File("mine/notes.txt")));
}

TEST(Export, ThePointerOnRequestAndSizesMadeEvenForH264) {
    TFixture f;
    const TColorRef back = MakeColor(40, 80, 120);
    TScript s(64, 48);
    s.Key(0, back).Pointer(100, 20, 10).Region(500, skReplacement, {0, 40, 8, 48}, back);
    s.Write(f.Recording);
    struct TCase {
        const char* Out;
        bool Pointer;
        int32_t Width, Height;
        uint32_t WantWidth, WantHeight;
    };
    const TCase cases[] = {
        {"p.mkv", true, 0, 0, 64, 48},
        {"n.mkv", false, 0, 0, 64, 48},
        {"odd.mp4", false, 33, 25, 34, 26},
        {"half.mkv", false, 32, 0, 32, 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Out);
        TExportOptions o = Options(f, f.Dir.File(c.Out));
        o.Pointer = c.Pointer;
        o.Width = c.Width;
        o.Height = c.Height;
        TExportCancel cancel;
        const TExportResult r = RunExport(o, {}, cancel);
        ASSERT_EQ(r.Code, 0) << r.Message;
        const auto frames = f.Read(r.Output, false);
        ASSERT_FALSE(frames.empty());
        const TRgbImage& last = frames.back().Picture;
        EXPECT_EQ(last.Width, c.WantWidth);
        EXPECT_EQ(last.Height, c.WantHeight);
        // Without the pointer the picture is the solid key frame everywhere.
        size_t off = 0;
        for (size_t i = 0; i < last.Pixels.size(); i += 3)
            if (std::abs(last.Pixels[i] - 40) > 6 || std::abs(last.Pixels[i + 1] - 80) > 6 ||
                std::abs(last.Pixels[i + 2] - 120) > 6)
                ++off;
        if (c.Pointer)
            EXPECT_GT(off, 20u) << "the arrow is drawn";
        else
            EXPECT_EQ(off, 0u);
    }
}
