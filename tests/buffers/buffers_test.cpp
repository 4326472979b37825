#include "buffers/frames_buffer.h"
#include "buffers/index_table.h"
#include "buffers/key_frames_buffer.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

using namespace kiv;
using kiv::test::MakeBlock;

namespace {

void Fill(TFramesBuffer& b, std::initializer_list<uint32_t> times) {
    for (uint32_t t : times)
        b.AddSample(MakeBlock(t, skDifference));
}

} // namespace

TEST(FramesBuffer, FindSampleFollowsTheScanRules) {
    TFramesBuffer b;
    uint32_t t = 5;
    EXPECT_EQ(b.FindSample(t, true), -1) << "empty";
    b.AddSample(MakeBlock(100, skKeyFrame));
    t = 999;
    EXPECT_EQ(b.FindSample(t, true), 0) << "one sample answers any time";
    Fill(b, {200, 300});

    struct {
        uint32_t time;
        bool exact;
        int32_t index;
        uint32_t snapped;
    } cases[] = {
        {200, true, 1, 200}, {250, false, 1, 200}, {350, false, -1, 350},
        {50, false, -1, 50}, {250, true, -1, 250}, {100, true, 0, 100},
    };
    for (auto c : cases) {
        uint32_t time = c.time;
        EXPECT_EQ(b.FindSample(time, c.exact), c.index) << c.time << " exact=" << c.exact;
        EXPECT_EQ(time, c.snapped) << c.time;
    }

    TFramesBuffer dup;
    Fill(dup, {100, 100, 200});
    t = 100;
    EXPECT_EQ(dup.FindSample(t, true), 1) << "equal stamps: the lowest index from 1 up";
    TFramesBuffer two;
    Fill(two, {100, 150});
    t = 100;
    EXPECT_EQ(two.FindSample(t, true), 0);
}

TEST(FramesBuffer, IsFullNeedsBothTwoMegabytesAndThreeKeyFrames) {
    auto load = [](TFramesBuffer& b, int keyFrames, int32_t totalBytes) {
        int32_t each = totalBytes / keyFrames;
        for (int i = 0; i < keyFrames; ++i) {
            int32_t size = i == keyFrames - 1 ? totalBytes - each * (keyFrames - 1) : each;
            b.AddSample(MakeBlock(i * 40, skKeyFrame, size - kSampleHeaderSize));
        }
    };
    TFramesBuffer a, b, c;
    load(a, 10, 2097151);
    load(b, 2, 5 << 20);
    load(c, 3, 2097152);
    EXPECT_FALSE(a.IsFull());
    EXPECT_FALSE(b.IsFull());
    EXPECT_TRUE(c.IsFull());
    EXPECT_EQ(c.ByteCount(), 2097152);
    EXPECT_EQ(c.KeyFrameCount(), 3);
    c.Clear();
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(c.ByteCount(), 0);
    EXPECT_EQ(c.KeyFrameCount(), 0);
    EXPECT_EQ(c.SampleCount(), 0);
    EXPECT_EQ(c.FirstTimeStamp(), 0u);
    EXPECT_EQ(c.LastTimeStamp(), 0u);
}

TEST(FramesBuffer, DropBeforeKeyFrameKeepsTheSameSampleDesignated) {
    TFramesBuffer b;
    for (int i = 0; i < 12; ++i)
        b.AddSample(MakeBlock(i * 10, (i == 0 || i == 4 || i == 9) ? skKeyFrame : skDifference, 2));
    int32_t index = 3;
    b.DropBeforeKeyFrame(index);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(b.Count(), 12);
    index = 7;
    b.DropBeforeKeyFrame(index);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(b.Count(), 8);
    EXPECT_EQ(SampleTimeStamp(b.Sample(index)), 70u);
    EXPECT_EQ(b.FirstTimeStamp(), 40u);
    EXPECT_EQ(b.LastTimeStamp(), 110u);
    EXPECT_EQ(b.KeyFrameCount(), 2);
    EXPECT_EQ(b.ByteCount(), 8 * 30);
    EXPECT_EQ(b.SampleCount(), 8);
    EXPECT_EQ(b.Sample(8), nullptr);
    EXPECT_EQ(b.Sample(-1), nullptr);
}

TEST(FramesBuffer, TheLimitBoundsBytesAndSamplesAndTrimmingMakesRoom) {
    // Kinds by letter: K a key frame, d a difference; sizes are whole records.
    struct {
        const char* name;
        std::string kinds;
        uint32_t size;
        int32_t index; // the sample just drawn
        bool room;     // before trimming
        bool trimmed;
        int32_t count, newIndex; // after trimming
    } cases[] = {
        {"below both limits", "Kddd", 100, 3, true, false, 4, 3},
        {"bytes at the limit, a key frame to drop before", "KddKdd", 200, 5, false, true, 3, 2},
        {"samples at the limit", "KdKdKdKd", 30, 4, false, true, 4, 0},
        {"nothing after the drawn sample: the drawn ones go", "Kddddd", 200, 5, false, true, 1, 0},
        {"samples still to draw keep their segment", "Kddddd", 200, 3, false, true, 6, 3},
        {"one sample alone leaves room whatever its size", "K", 5000, 0, true, false, 1, 0},
    };
    for (const auto& c : cases) {
        TFramesBuffer b;
        b.SetLimits(1000, 8);
        int removals = 0;
        b.SetRoomListener([&] { ++removals; });
        for (size_t i = 0; i < c.kinds.size(); ++i)
            b.AddSample(MakeBlock(static_cast<uint32_t>(i * 40),
                                  c.kinds[i] == 'K' ? skKeyFrame : skDifference,
                                  c.size - kSampleHeaderSize));
        EXPECT_EQ(b.HasRoom(), c.room) << c.name;
        const uint32_t last = SampleTimeStamp(b.Sample(c.index));
        int32_t index = c.index;
        EXPECT_EQ(b.Trim(index), c.trimmed) << c.name;
        EXPECT_EQ(b.Count(), c.count) << c.name;
        EXPECT_EQ(index, c.newIndex) << c.name;
        EXPECT_EQ(SampleTimeStamp(b.Sample(index)), last) << c.name;
        EXPECT_EQ(removals > 0, b.Count() < static_cast<int32_t>(c.kinds.size())) << c.name;
        EXPECT_EQ(b.PeakSampleCount(), static_cast<int32_t>(c.kinds.size())) << c.name;
        EXPECT_EQ(b.PeakByteCount(), static_cast<int64_t>(c.kinds.size() * c.size)) << c.name;
        b.Clear();
        EXPECT_EQ(b.PeakSampleCount(), static_cast<int32_t>(c.kinds.size())) << "kept by Clear";
    }
}

TEST(FramesBuffer, DumpToFileListsEveryBlock) {
    TFramesBuffer b;
    b.AddSample(MakeBlock(0, skKeyFrame));
    b.AddSample(MakeBlock(40, skDifference));
    std::string path = testing::TempDir() + "kiv_dump.txt";
    ASSERT_TRUE(b.DumpToFile(path));
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "0,0,Key\n1,40\n");
}

TEST(FramesBuffer, CountersStayInStepUnderConcurrentAppendAndDrop) {
    TFramesBuffer b;
    constexpr int kSamples = 20000;
    std::thread writer([&] {
        for (int i = 0; i < kSamples; ++i)
            b.AddSample(MakeBlock(i, i % 50 == 0 ? skKeyFrame : skDifference, 4));
    });
    for (int round = 0; round < 2000; ++round) {
        int32_t index = b.Count() - 1;
        if (index > 0) b.DropBeforeKeyFrame(index);
        (void)b.IsFull();
    }
    writer.join();
    int32_t count = b.Count();
    EXPECT_EQ(b.SampleCount(), count);
    EXPECT_EQ(b.ByteCount(), count * 32);
}

TEST(KeyFramesBuffer, KeepsTheLastFiveRecyclesBlocksAndRefusesImpossibleSizes) {
    TKeyFramesBuffer k;
    constexpr uint32_t kSize = 64;
    std::vector<const uint8_t*> adopted;
    for (uint32_t t = 1; t <= 6; ++t) {
        auto image = k.SpareFor(kSize);
        image[0] = 'B';
        StoreLE32(image.get() + 2, kSize);
        image[20] = static_cast<uint8_t>(t);
        adopted.push_back(image.get());
        ASSERT_TRUE(k.AdoptKeyFrame(kiv::test::MakeHeader(t * 1000, skKeyFrame), image, kSize));
        EXPECT_EQ(image, nullptr);
    }
    EXPECT_EQ(k.Count(), 5u);
    EXPECT_EQ(k.FindKeyFrame(1000), nullptr) << "the first one added was evicted";
    EXPECT_EQ(adopted[5], adopted[0]) << "and the sixth was decoded into its block";
    const uint8_t* found = k.FindKeyFrame(3000);
    ASSERT_EQ(found, adopted[2]) << "kept, not copied";
    EXPECT_EQ(found[20], 3);

    // Too small for the next image: the evicted block is dropped, a new one comes back.
    auto larger = k.SpareFor(2 * kSize);
    EXPECT_EQ(k.Count(), 4u);
    larger[2 * kSize - 1] = 0;

    StoreLE32(larger.get() + 2, 1000);
    const uint8_t* refused = larger.get();
    EXPECT_FALSE(k.AdoptKeyFrame(kiv::test::MakeHeader(7000, skKeyFrame), larger, 2 * kSize))
        << "a size field beyond the decoded bytes";
    EXPECT_EQ(larger.get(), refused) << "a refused image stays with the caller";
    k.Clear();
    EXPECT_EQ(k.Count(), 0u);
}

// Large pictures are cached fewer at a time; one larger than the whole
// allowance still stays, alone, being the newest. Making room for the next one
// evicts at once what caching it would.
TEST(KeyFramesBuffer, BoundsTheImagesBytesKeepingTheNewest) {
    constexpr uint32_t kMiB = 1 << 20;
    struct TCase {
        uint32_t Size;
        size_t Kept;
    } cases[] = {{1 * kMiB, 5}, {2 * kMiB, 3}, {7 * kMiB, 1}};
    for (const TCase& c : cases) {
        TKeyFramesBuffer k;
        for (uint32_t t = 1; t <= 6; ++t) {
            auto image = k.SpareFor(c.Size);
            StoreLE32(image.get() + 2, c.Size);
            ASSERT_TRUE(k.AdoptKeyFrame(kiv::test::MakeHeader(t, skKeyFrame), image, c.Size));
        }
        EXPECT_EQ(k.Count(), c.Kept) << c.Size;
        EXPECT_NE(k.FindKeyFrame(6), nullptr) << c.Size;
        k.SpareFor(c.Size);
        EXPECT_EQ(k.Count(), c.Kept - 1) << c.Size;
    }
}

TEST(IndexTable, CollapsesEqualNeighboursCapsAndLooksUp) {
    TIndexTable t;
    EXPECT_EQ(t.FloorTime(500), 0u);
    EXPECT_EQ(t.PositionOf(0), 0u);
    t.AddEntry({1000, 100});
    t.AddEntry({1000, 999});
    t.AddEntry({2000, 200});
    t.AddEntry({3000, 300});
    EXPECT_EQ(t.Count(), 3);
    EXPECT_EQ(t.PositionOf(1000), 100u) << "the first of equal neighbours stays";
    EXPECT_EQ(t.FloorTime(999), 0u);
    EXPECT_EQ(t.FloorTime(2500), 2000u);
    EXPECT_EQ(t.FloorTime(9999), 3000u);
    EXPECT_EQ(t.PositionOf(2500), 0u);
    EXPECT_EQ(t.PositionOf(3000), 300u);

    TIndexTable big;
    for (uint32_t i = 0; i < kMaxIndexEntries; ++i)
        big.AddEntry({i * 10, i});
    EXPECT_EQ(big.Count(), 131073);
    big.AddEntry({kMaxIndexEntries * 10, kMaxIndexEntries});
    EXPECT_EQ(big.Count(), 131073);
    EXPECT_EQ(big.FloorTime(5), 0u) << "the first entry went";
    EXPECT_EQ(big.PositionOf(10), 1u);
    EXPECT_EQ(big.PositionOf(kMaxIndexEntries * 10), kMaxIndexEntries);
}
