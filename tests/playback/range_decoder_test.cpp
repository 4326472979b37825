// The second thread of a range draw: every image it gives as the decoder gives
// it, none for what it must leave to the play thread, within its budget, and
// ready for the next range after one cut short; and playing's decoding ahead.
#include "buffers/frames_buffer.h"
#include "codec/kivdecoder.h"
#include "playback/range_decoder.h"
#include "support/bmp_images.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kiv;
using namespace kiv::test;

namespace {

TSampleBlock Sample(int16_t kind, const std::vector<uint8_t>& payload, uint32_t time = 0) {
    TSampleBlock b = MakeBlock(time, kind, static_cast<uint32_t>(payload.size()));
    if (!payload.empty()) std::memcpy(b.get() + kSampleHeaderSize, payload.data(), payload.size());
    return b;
}

TEST(RangeDecoder, GivesWhatTheDecoderGivesWithinItsBudgetAndStartsAgain) {
    InitDecoder();
    const auto small = SolidBmp(16, 8, MakeColor(1, 2, 3));
    // Three images of 3 MiB: never more than the budget waits, and each still comes.
    const auto large = SolidBmp(1024, 1024, MakeColor(9, 8, 7));
    std::vector<TSampleBlock> blocks;
    blocks.push_back(Sample(skKeyFrame, small)); // left to the play thread
    blocks.push_back(Sample(skDifference, small));
    blocks.push_back(Sample(skPointer, {}));            // nothing to decode
    blocks.push_back(Sample(skReplacement, {1, 2, 3})); // not an image
    for (int i = 0; i < 3; ++i)
        blocks.push_back(Sample(skReplacement, large));
    blocks.push_back(Sample(skPointer, small));
    const bool expected[] = {false, true, false, false, true, true, true, true};

    TRangeDecoder decoder;
    for (int round = 0; round < 2; ++round) {
        std::vector<const uint8_t*> samples;
        for (const auto& b : blocks)
            samples.push_back(b.get());
        decoder.Begin(samples);
        // The second round stops half-way, as a new seek does, then runs whole.
        const size_t stop = round == 0 ? samples.size() : 5;
        for (size_t i = 0; i < stop; ++i) {
            uint32_t size = 0;
            const uint8_t* image = decoder.Take(i, size);
            // One not begun yet is the caller's to decode: null is always allowed.
            if (!expected[i]) {
                ASSERT_EQ(image, nullptr) << i;
            }
            if (!image) continue;
            const auto& want = SampleKind(samples[i]) == skPointer || i == 1 ? small : large;
            ASSERT_EQ(size, want.size()) << i;
            EXPECT_EQ(std::memcmp(image, want.data(), size), 0) << i;
        }
        decoder.End();
    }
    UninitDecoder();
}

// Playing appends as it goes, with a small budget: the ring wraps many times, and an
// image waiting is never written over by the ones decoded after it. The first image
// is too large for the ring: while this thread decodes it, the other gets ahead.
TEST(RangeDecoder, PlaysAheadInARingWithoutOverwritingWhatWaits) {
    InitDecoder();
    constexpr uint32_t kBudget = 64 << 10;
    std::vector<std::vector<uint8_t>> images;
    std::vector<TSampleBlock> blocks;
    for (int i = 0; i < 60; ++i) {
        const int side = i == 0 ? 1024 : 20 + (i * 7) % 50;
        images.push_back(SolidBmp(side, side, MakeColor(i, 255 - i, i * 3)));
        blocks.push_back(Sample(skDifference, images.back()));
    }
    TRangeDecoder decoder;
    decoder.Begin({}, kBudget);
    std::vector<uint8_t> own(kDecodeBufferSize);
    size_t handed = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        for (; handed < blocks.size() && handed < i + 16; ++handed)
            decoder.Append(blocks[handed].get());
        uint32_t size = 0;
        // Null is always allowed (this thread got ahead); what comes must be whole.
        if (const uint8_t* image = decoder.Take(i, size)) {
            ASSERT_NE(i, 0u) << "larger than the budget";
            ASSERT_EQ(size, images[i].size()) << i;
            EXPECT_EQ(std::memcmp(image, images[i].data(), size), 0) << i;
        } else {
            std::memcpy(own.data(), images[i].data(), images[i].size()); // as drawing would
        }
    }
    decoder.End();
    UninitDecoder();
}

// A seek's range: the samples read already and those arriving later, up to the
// target, are decoded as they come, and none after it.
TEST(RangeDecoder, FollowsTheReadingUpToTheTarget) {
    InitDecoder();
    TFramesBuffer frames;
    TRangeDecoder decoder;
    frames.SetListener([&] { decoder.Arrived(); });
    std::vector<std::vector<uint8_t>> images;
    auto add = [&](uint32_t time) {
        images.push_back(SolidBmp(8 + static_cast<int>(time / 10), 8, MakeColor(time / 100, 1, 2)));
        frames.AddSample(Sample(time ? skDifference : skKeyFrame, images.back(), time));
    };
    for (uint32_t t = 0; t < 400; t += 100)
        add(t);
    decoder.Follow(frames, 700);
    for (uint32_t t = 400; t < 1000; t += 100) // 800 and 900 lie past the target
        add(t);
    decoder.StopFollowing(7);
    uint32_t size = 0;
    for (size_t i = 0; i < 7; ++i)
        if (const uint8_t* image = decoder.Take(i, size)) {
            ASSERT_NE(i, 0u) << "key frames are the caller's";
            ASSERT_EQ(size, images[i].size()) << i;
            EXPECT_EQ(std::memcmp(image, images[i].data(), size), 0) << i;
        }
    EXPECT_EQ(decoder.Take(8, size), nullptr) << "past the target";
    decoder.End();
    frames.SetListener({});
    UninitDecoder();
}

} // namespace
