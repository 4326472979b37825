#include "format/record_cutter.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace kiv;

namespace {

std::vector<uint8_t> Records(const std::vector<std::pair<uint32_t, uint32_t>>& timeAndLength) {
    std::vector<uint8_t> bytes;
    for (auto [time, length] : timeAndLength) {
        auto b = test::MakeBlock(time, skDifference, length, static_cast<uint8_t>(time));
        bytes.insert(bytes.end(), b.get(), b.get() + kSampleHeaderSize + length);
    }
    return bytes;
}

// Feeds the bytes in pieces of the given sizes, through the read-into-tail path.
std::vector<std::vector<uint8_t>> Cut(const std::vector<uint8_t>& bytes, std::mt19937& rng,
                                      uint32_t maxPiece, uint32_t initialSize) {
    TRecordCutter cutter(initialSize);
    std::vector<std::vector<uint8_t>> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        uint32_t piece = std::uniform_int_distribution<uint32_t>(1, maxPiece)(rng);
        piece =
            std::min<uint32_t>({piece, cutter.Room(), static_cast<uint32_t>(bytes.size() - pos)});
        std::copy_n(bytes.begin() + static_cast<long>(pos), piece, cutter.Tail());
        cutter.Commit(piece);
        pos += piece;
        TSampleBlock record;
        while (cutter.Next(record) == TRecordCutter::TCut::Record)
            out.emplace_back(record.get(), record.get() + SampleRecordSize(record.get()));
    }
    EXPECT_EQ(cutter.Used(), 0u);
    return out;
}

} // namespace

TEST(RecordCutter, CutsTheSameRecordsWhateverTheReadSizes) {
    auto bytes = Records({{0, 100}, {40, 0}, {80, 3000}, {120, 1}, {160, 70000}, {200, 27}});
    std::mt19937 rng(7);
    for (uint32_t maxPiece : {1u, 7u, 28u, 29u, 4096u, 0x8000u}) {
        for (uint32_t initial : {64u, 0x80000u}) {
            auto records = Cut(bytes, rng, maxPiece, initial);
            ASSERT_EQ(records.size(), 6u) << maxPiece << "/" << initial;
            size_t at = 0;
            for (auto& r : records) {
                ASSERT_TRUE(std::equal(r.begin(), r.end(), bytes.begin() + static_cast<long>(at)));
                at += r.size();
            }
        }
    }
}

TEST(RecordCutter, GrowsToExactlyALargerFrontRecord) {
    auto bytes = Records({{0, 600000}});
    TRecordCutter cutter;
    EXPECT_EQ(cutter.Size(), 0x80000u);
    std::copy_n(bytes.begin(), 0x8000, cutter.Tail());
    cutter.Commit(0x8000);
    TSampleBlock record;
    EXPECT_EQ(cutter.Next(record), TRecordCutter::TCut::NeedMore);
    EXPECT_EQ(cutter.Size(), 600000u + kSampleHeaderSize);
    size_t pos = 0x8000;
    while (pos < bytes.size()) {
        uint32_t n = std::min<uint32_t>(cutter.Room(), static_cast<uint32_t>(bytes.size() - pos));
        std::copy_n(bytes.begin() + static_cast<long>(pos), n, cutter.Tail());
        cutter.Commit(n);
        pos += n;
    }
    ASSERT_EQ(cutter.Next(record), TRecordCutter::TCut::Record);
    EXPECT_EQ(SampleLength(record.get()), 600000u);
}

TEST(RecordCutter, AnAbsurdLengthIsDamageNotAnAllocation) {
    for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFE4u, static_cast<uint32_t>(kMaxRecordSize)}) {
        auto b = test::MakeBlock(0, skKeyFrame);
        StoreLE32(b.get() + 12, length);
        TRecordCutter cutter;
        ASSERT_TRUE(cutter.Append(b.get(), kSampleHeaderSize));
        TSampleBlock record;
        EXPECT_EQ(cutter.Next(record), TRecordCutter::TCut::Damaged) << length;
        EXPECT_EQ(cutter.Size(), TRecordCutter::kInitialSize) << "nothing was allocated";
    }
}

TEST(RecordCutter, AppendGrowsForStreamsAndBoundsWhatItHolds) {
    TRecordCutter cutter(16);
    auto bytes = Records({{5, 40}, {6, 0}});
    ASSERT_TRUE(cutter.Append(bytes.data(), bytes.size()));
    TSampleBlock record;
    ASSERT_EQ(cutter.Next(record), TRecordCutter::TCut::Record);
    ASSERT_EQ(cutter.Next(record), TRecordCutter::TCut::Record);
    EXPECT_EQ(SampleTimeStamp(record.get()), 6u);
    EXPECT_EQ(cutter.Next(record), TRecordCutter::TCut::NeedMore);
    std::vector<uint8_t> huge(1);
    EXPECT_FALSE(cutter.Append(huge.data(), 2 * kMaxRecordSize + 1));
}
