// The generated recordings as a reader sees them: header, records, index.
#include "synth/recording_writer.h"
#include "synth/synth.h"
#include "synth_test_player.h"

#include "platform/error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace kiv::synth {
namespace {

TSynthOptions Options(uint32_t seconds, uint16_t w, uint16_t h, uint32_t seed) {
    TSynthOptions o;
    o.Seconds = seconds;
    o.Width = w;
    o.Height = h;
    o.Seed = seed;
    return o;
}

// A mixed recording shared by several tests.
const std::vector<uint8_t>& Mixed() {
    static const std::vector<uint8_t> bytes = [] {
        TSynthOptions o = Options(40, 1280, 720, 5);
        o.KeyFrameIntervalMs = 5000;
        o.MarkerIntervalMs = 7000;
        return MakeSynthRecording(o);
    }();
    return bytes;
}

test::TWalkedRecording Walk(const std::vector<uint8_t>& bytes) {
    test::TWalkedRecording rec;
    const std::string error = test::WalkRecording(bytes, rec);
    EXPECT_EQ(error, "");
    return rec;
}

TEST(SynthRecording, HeaderIndexAndTimeLine) {
    const auto& bytes = Mixed();
    const test::TWalkedRecording rec = Walk(bytes);
    ASSERT_FALSE(rec.Samples.empty());
    EXPECT_EQ(rec.Header.Magic[0], 'K');
    EXPECT_EQ(rec.Header.Magic[1], 'Q');
    EXPECT_EQ(rec.Header.Width, 1280);
    EXPECT_EQ(rec.Header.Height, 720);
    EXPECT_EQ(rec.Header.Duration, rec.Samples.back().Header.TimeStamp);
    EXPECT_GE(rec.Header.Duration, 40000u);

    const TSampleHeader& first = rec.Samples.front().Header;
    EXPECT_EQ(first.Kind, skKeyFrame);
    EXPECT_EQ(first.TimeStamp, 0u);

    std::vector<TIndexEntry> keys;
    uint32_t last = 0;
    for (size_t i = 0; i < rec.Samples.size(); ++i) {
        const TSampleHeader& h = rec.Samples[i].Header;
        if (i > 0) {
            EXPECT_GT(h.TimeStamp, last) << "record " << i;
        }
        last = h.TimeStamp;
        ASSERT_GE(h.Kind, 0);
        ASSERT_LE(h.Kind, 4);
        EXPECT_LE(h.Compression, 3);
        if (h.Kind == skKeyFrame) {
            keys.push_back({h.TimeStamp, uint32_t(rec.Samples[i].Offset)});
            EXPECT_EQ(h.Left, 0);
            EXPECT_EQ(h.Top, 0);
        }
        if (h.Kind == skMarker) {
            const std::string label(reinterpret_cast<const char*>(rec.Samples[i].Payload),
                                    h.Length);
            EXPECT_TRUE(label.empty() || label.rfind("Chapter ", 0) == 0) << label;
        }
        if (h.Kind == skPointer) {
            EXPECT_TRUE(h.Left != 0 || h.Top != 0) << "(0, 0) would hide the pointer";
            EXPECT_LT(h.Left, 1280);
            EXPECT_LT(h.Top, 720);
        } else if (h.Kind != skMarker) {
            EXPECT_GT(h.Length, 0u);
            EXPECT_LT(h.Left, 1280);
            EXPECT_LT(h.Top, 720);
            EXPECT_LT(h.MouseX, 1280);
            EXPECT_LT(h.MouseY, 720);
        }
    }
    ASSERT_EQ(keys.size(), rec.Index.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(rec.Index[i].TimeStamp, keys[i].TimeStamp);
        EXPECT_EQ(rec.Index[i].Offset, keys[i].Offset);
        EXPECT_EQ(keys[i].TimeStamp, i * 5000) << "key frames come at the interval";
    }
}

TEST(SynthRecording, MixHoldsEveryKindAndCompression) {
    const test::TWalkedRecording rec = Walk(Mixed());
    std::set<int> kinds, compressions, regionCompressions, keyCompressions;
    bool pointerShape = false, pointerMove = false, carriedPointer = false;
    for (const auto& s : rec.Samples) {
        const TSampleHeader& h = s.Header;
        kinds.insert(h.Kind);
        if (h.Length) compressions.insert(h.Compression);
        if (h.Kind == skReplacement || h.Kind == skDifference)
            regionCompressions.insert(h.Compression);
        if (h.Kind == skKeyFrame) keyCompressions.insert(h.Compression);
        if (h.Kind == skPointer) (h.Length ? pointerShape : pointerMove) = true;
        if ((h.Kind == skReplacement || h.Kind == skDifference) && (h.MouseX || h.MouseY))
            carriedPointer = true;
    }
    EXPECT_EQ(kinds, (std::set<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(compressions, (std::set<int>{0, 1, 2, 3}));
    EXPECT_EQ(regionCompressions, (std::set<int>{0, 1, 2, 3}));
    EXPECT_EQ(keyCompressions, (std::set<int>{1, 2, 3}));
    EXPECT_TRUE(pointerShape);
    EXPECT_TRUE(pointerMove);
    EXPECT_TRUE(carriedPointer);
}

TEST(SynthRecording, SeedDecidesTheBytes) {
    TSynthOptions o = Options(8, 640, 480, 11);
    const auto a = MakeSynthRecording(o);
    EXPECT_EQ(a, MakeSynthRecording(o));
    o.Seed = 12;
    EXPECT_NE(a, MakeSynthRecording(o));
}

TEST(SynthRecording, OnlyCompressionUsesThatKindEverywhere) {
    for (TCompression c : {ckRaw, ckJpeg, ckLzo, ckZlib}) {
        TSynthOptions o = Options(12, 640, 480, 3);
        o.OnlyCompression = c;
        TSynthSummary sum;
        const test::TWalkedRecording rec = Walk(MakeSynthRecording(o, nullptr, &sum));
        size_t payloads = 0, differences = 0;
        for (const auto& s : rec.Samples) {
            if (s.Header.Length) {
                EXPECT_EQ(s.Header.Compression, c);
                ++payloads;
            }
            if (s.Header.Kind == skDifference) ++differences;
        }
        EXPECT_GT(payloads, 10u);
        if (c == ckJpeg) {
            EXPECT_EQ(differences, 0u) << "a JPEG cannot carry an exclusive-or region";
        }
        EXPECT_EQ(sum.Records, rec.Samples.size());
        EXPECT_EQ(sum.ByCompression[c], payloads);
    }
}

TEST(SynthRecording, LargeRawRecordOnRequest) {
    auto countLarge = [](const std::vector<uint8_t>& bytes) {
        size_t large = 0;
        for (const auto& s : Walk(bytes).Samples)
            if (s.Header.Length > 512 * 1024) {
                ++large;
                EXPECT_EQ(s.Header.Compression, ckRaw);
                EXPECT_EQ(s.Header.Kind, skReplacement);
                EXPECT_LE(s.Header.Length, kDecodeBufferSize);
                EXPECT_EQ(LoadLE32(s.Payload + 2), s.Header.Length);
            }
        return large;
    };
    TSynthOptions o = Options(3, 1280, 720, 2);
    EXPECT_EQ(countLarge(MakeSynthRecording(o)), 0u);
    o.LargeRawRecord = true;
    EXPECT_EQ(countLarge(MakeSynthRecording(o)), 1u);
    o.Width = 400;
    o.Height = 300; // a whole 24-bit picture is only 360,054 bytes
    EXPECT_THROW(MakeSynthRecording(o), EKivError);
}

TEST(SynthRecording, TargetSizeKeepsRecording) {
    TSynthOptions o = Options(1, 800, 600, 4);
    o.TargetMegabytes = 3;
    const auto bytes = MakeSynthRecording(o);
    EXPECT_GE(bytes.size(), 3u << 20);
    const test::TWalkedRecording rec = Walk(bytes);
    EXPECT_GT(rec.Header.Duration, 1000u);
    EXPECT_EQ(rec.Header.Duration, rec.Samples.back().Header.TimeStamp);
}

TEST(SynthRecording, BadOptionsAreRefused) {
    auto bad = [](auto change) {
        TSynthOptions o = Options(2, 640, 480, 1);
        change(o);
        EXPECT_THROW(MakeSynthRecording(o), EKivError);
    };
    bad([](TSynthOptions& o) { o.Width = 200; });
    bad([](TSynthOptions& o) { o.Width = 2560, o.Height = 1440; }); // 7 MB even at 16 bits
    bad([](TSynthOptions& o) { o.SampleIntervalMs = 0; });
    bad([](TSynthOptions& o) { o.KeyFrameIntervalMs = 0; });
    bad([](TSynthOptions& o) { o.Seconds = 0; });
    bad([](TSynthOptions& o) { o.OnlyCompression = TCompression(4); });
}

TEST(SynthRecording, FinishedWriterTakesNoMoreRecords) {
    TRecordingWriter w(320, 240);
    TSampleHeader h{};
    w.AddSample(h, nullptr, 0);
    const auto bytes = w.Finish();
    EXPECT_EQ(bytes.size(), kFileHeaderSize + kSampleHeaderSize + kIndexHeaderSize);
    EXPECT_THROW(w.AddSample(h, nullptr, 0), EKivError);
    EXPECT_THROW(w.Finish(), EKivError);
}

std::filesystem::path TempPath(const char* name) {
    return std::filesystem::temp_directory_path() /
           (std::string("kivsynth_") + std::to_string(::getpid()) + "_" + name);
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SynthRecording, FileHoldsTheSameBytesAsMemory) {
    const TSynthOptions o = Options(5, 640, 480, 9);
    const auto path = TempPath("same.kiv");
    TSynthSummary sum;
    WriteSynthRecording(path.string(), o, &sum);
    const auto file = ReadFile(path);
    std::filesystem::remove(path);
    EXPECT_EQ(file, MakeSynthRecording(o));
    EXPECT_EQ(sum.Bytes, file.size());
    EXPECT_THROW(WriteSynthRecording("/nonexistent-dir/x.kiv", o), EKivError);
}

int RunCommand(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    return SynthCommand(int(argv.size()), argv.data());
}

TEST(SynthCommandLine, WritesTheFileOrExplainsTheUsage) {
    const auto path = TempPath("cmd.kiv");
    EXPECT_EQ(RunCommand({"synth", path.string(), "--seconds", "2", "--width", "640", "--height",
                          "480", "--seed", "8", "--compression", "lzo"}),
              0);
    TSynthOptions o = Options(2, 640, 480, 8);
    o.OnlyCompression = ckLzo;
    EXPECT_EQ(ReadFile(path), MakeSynthRecording(o));
    std::filesystem::remove(path);

    EXPECT_EQ(RunCommand({"synth"}), 2);
    EXPECT_EQ(RunCommand({"synth", path.string(), "--seconds"}), 2);
    EXPECT_EQ(RunCommand({"synth", path.string(), "--seconds", "x1"}), 2);
    EXPECT_EQ(RunCommand({"synth", path.string(), "--width", "70000"}), 2);
    EXPECT_EQ(RunCommand({"synth", path.string(), "--width", "100"}), 2);
    EXPECT_EQ(RunCommand({"synth", path.string(), "--compression", "gif"}), 2);
    EXPECT_EQ(RunCommand({"synth", path.string(), "--frobnicate", "1"}), 2);
    EXPECT_EQ(RunCommand({"synth", path.string(), path.string()}), 2);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(RunCommand({"synth", "/nonexistent-dir/x.kiv", "--seconds", "1"}), 1);
}

} // namespace
} // namespace kiv::synth
