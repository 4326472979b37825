// The generated payloads through the player's decoder, and played back.
#include "codec/kivdecoder.h"
#include "synth/synth.h"
#include "synth_test_player.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace kiv::synth {
namespace {

class SynthDecode : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InitDecoder()); }
    void TearDown() override { UninitDecoder(); }

    // Decodes every payload as the play thread does and composes the regions.
    // Returns the picture played; checks each decoded image on the way.
    TPicture Play(const TSynthOptions& o, std::set<int>* bitsSeen = nullptr) {
        const auto bytes = MakeSynthRecording(o, &FModel);
        test::TWalkedRecording rec;
        EXPECT_EQ(test::WalkRecording(bytes, rec), "");
        test::TTestPlayer player(o.Width, o.Height);
        std::vector<uint8_t> dest(kDecodeBufferSize);
        for (const auto& s : rec.Samples) {
            const TSampleHeader& h = s.Header;
            if (!h.Length || h.Kind == skMarker) continue; // a marker carries its label
            SCOPED_TRACE("record at " + std::to_string(h.TimeStamp) + " kind " +
                         std::to_string(h.Kind) + " compression " + std::to_string(h.Compression));
            const int32_t n = UnZipBuffer(s.Payload, h.Length, int16_t(h.Compression), dest.data(),
                                          uint32_t(dest.size()));
            EXPECT_GT(n, 0);
            if (n <= 0) return player.Picture;
            EXPECT_LE(uint32_t(n), kDecodeBufferSize);
            test::TBmpInfo info;
            EXPECT_EQ(test::ParseBmp(dest.data(), size_t(n), info), "");
            if (bitsSeen) bitsSeen->insert(info.Bits);
            const int32_t height = std::abs(info.Height);
            if (h.Kind == skPointer) {
                EXPECT_LE(info.Width, 64);
                EXPECT_LE(height, 64);
                continue;
            }
            EXPECT_LE(h.Left + info.Width, o.Width) << "region outside the picture";
            EXPECT_LE(h.Top + height, o.Height);
            if (h.Kind == skKeyFrame) {
                EXPECT_EQ(info.Width, o.Width);
                EXPECT_EQ(height, o.Height);
            }
            player.Apply(h, dest.data(), size_t(n));
        }
        return player.Picture;
    }

    TPicture FModel; // the generator's own final screen
};

TEST_F(SynthDecode, LosslessKindsRebuildTheScreenExactly) {
    for (TCompression c : {ckRaw, ckLzo, ckZlib}) {
        SCOPED_TRACE("compression " + std::to_string(c));
        TSynthOptions o;
        o.Seconds = 25;
        o.Width = 800;
        o.Height = 600;
        o.Seed = 21;
        o.KeyFrameIntervalMs = 8000;
        o.OnlyCompression = c;
        const TPicture played = Play(o);
        EXPECT_TRUE(played == FModel) << "mean difference " << test::MeanDifference(played, FModel);
    }
}

TEST_F(SynthDecode, MixedRecordingPlaysBackCleanly) {
    TSynthOptions o;
    o.Seconds = 22; // the last key frame, at 20 s, is a JPEG
    o.Seed = 5;
    o.KeyFrameIntervalMs = 5000;
    o.MarkerIntervalMs = 7000;
    o.LargeRawRecord = true;
    const TPicture played = Play(o);
    // JPEG areas differ a little; exclusive-or regions on a lossy picture would not.
    EXPECT_LT(test::MeanDifference(played, FModel), 1.5);
}

TEST_F(SynthDecode, JpegPicturesArriveUpright) {
    TSynthOptions o;
    o.Seconds = 6;
    o.Width = 640;
    o.Height = 480;
    o.Seed = 2;
    o.OnlyCompression = ckJpeg;
    const TPicture played = Play(o);
    TPicture flipped(played.Width(), played.Height());
    for (int32_t y = 0; y < played.Height(); ++y)
        std::copy_n(played.Row(y), played.Stride(), flipped.Row(played.Height() - 1 - y));
    const double upright = test::MeanDifference(played, FModel);
    EXPECT_LT(upright, 6.0);
    EXPECT_GT(test::MeanDifference(flipped, FModel), upright * 4);
}

TEST_F(SynthDecode, FullHdKeyFramesAreSixteenBitAndFit) {
    TSynthOptions o;
    o.Seconds = 5;
    o.Width = 1920;
    o.Height = 1080;
    o.Seed = 4;
    o.KeyFrameIntervalMs = 2000;
    o.OnlyCompression = ckZlib;
    std::set<int> bits;
    const TPicture played = Play(o, &bits);
    EXPECT_EQ(bits, (std::set<int>{16, 24}));
    // RGB555 keeps the top five bits of each channel; the regions after it are exact.
    int worst = 0;
    for (size_t i = 0; i < played.Bytes().size(); ++i)
        worst = std::max(worst, std::abs(played.Bytes()[i] - FModel.Bytes()[i]));
    EXPECT_LE(worst, 7);
}

} // namespace
} // namespace kiv::synth
