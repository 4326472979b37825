// Reassembly of sample records from datagrams, without any network.
#include "multicast/cast_util.h"
#include "sources/datagram.h"

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

using TDrop = TSampleAssembler::TDrop;

TBytes Datagram(uint32_t id, uint32_t total, uint16_t count, const TBytes& fragment) {
    TBytes d(kDatagramHeaderSize);
    StoreDatagramHeader({id, total, 0, count}, d.data());
    d.insert(d.end(), fragment.begin(), fragment.end());
    return d;
}

// Every datagram the caster makes for a record.
std::vector<TBytes> Cut(const TBytes& record, uint32_t id) {
    std::vector<TBytes> out;
    const uint32_t count = FragmentCountFor(record.size());
    for (uint32_t i = 0; i < count; ++i) {
        TBytes d(kMaxDatagramSize);
        d.resize(MakeDatagram(record.data(), static_cast<uint32_t>(record.size()), id,
                              static_cast<uint16_t>(i), d.data()));
        out.push_back(std::move(d));
    }
    return out;
}

TBytes Record(uint32_t time, size_t payload) {
    return RecordOf({time, skDifference, Filler(payload, time)});
}

struct TAssembly {
    std::vector<std::pair<uint32_t, TDrop>> Drops;
    TSampleAssembler Assembler{[this](uint32_t id, TDrop why) { Drops.push_back({id, why}); }};
    std::vector<TBytes> Samples;

    void Feed(const TBytes& d) {
        if (TSampleBlock s = Assembler.Feed(d.data(), d.size()))
            Samples.emplace_back(s.get(), s.get() + SampleRecordSize(s.get()));
    }
    void FeedAll(const std::vector<TBytes>& ds) {
        for (const auto& d : ds)
            Feed(d);
    }
};

TEST(Datagram, HeaderIsLittleEndianAtItsOffsets) {
    uint8_t b[kDatagramHeaderSize];
    StoreDatagramHeader({0x04030201, 0x08070605, 0x0A09, 0x0C0B}, b);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(b[i], i + 1);
    const TDatagramHeader h = ParseDatagramHeader(b);
    EXPECT_EQ(h.SampleId, 0x04030201u);
    EXPECT_EQ(h.TotalSize, 0x08070605u);
    EXPECT_EQ(h.FragmentCount, 0x0C0Bu);
}

TEST(Datagram, CuttingFillsEveryDatagramButTheLast) {
    EXPECT_EQ(FragmentCountFor(0), 0u);
    EXPECT_EQ(FragmentCountFor(28), 1u);
    EXPECT_EQ(FragmentCountFor(kMaxFragmentSize), 1u);
    EXPECT_EQ(FragmentCountFor(kMaxFragmentSize + 1), 2u);
    EXPECT_EQ(FragmentCountFor(kMaxRecordSize), 3279u);
    EXPECT_EQ(FragmentCountFor(kMaxRecordSize + 1), 0u);

    const TBytes record = Record(5, 2 * kMaxFragmentSize + 100 - kSampleHeaderSize);
    const auto ds = Cut(record, 77);
    ASSERT_EQ(ds.size(), 3u);
    EXPECT_EQ(ds[0].size(), kMaxDatagramSize);
    EXPECT_EQ(ds[1].size(), kMaxDatagramSize);
    EXPECT_EQ(ds[2].size(), kDatagramHeaderSize + 100);
    for (uint16_t i = 0; i < 3; ++i) {
        const TDatagramHeader h = ParseDatagramHeader(ds[i].data());
        EXPECT_EQ(h.SampleId, 77u);
        EXPECT_EQ(h.TotalSize, record.size());
        EXPECT_EQ(h.FragmentCount, 3u);
        EXPECT_EQ(h.Reserved, i);
    }
}

TEST(Assembler, DeliversEachRecordOnceAcrossFragmentBoundaries) {
    TAssembly a;
    std::vector<TBytes> sent;
    uint32_t id = 1;
    const uint32_t one = kMaxFragmentSize - kSampleHeaderSize; // a record of one full datagram
    for (uint32_t payload : {0u, 100u, one, one + 1, one + 2 * kMaxFragmentSize, 600000u}) {
        sent.push_back(Record(id, payload));
        a.FeedAll(Cut(sent.back(), id++));
    }
    EXPECT_EQ(a.Samples, sent);
    EXPECT_TRUE(a.Drops.empty());
    EXPECT_FALSE(a.Assembler.HasPartial());
    EXPECT_EQ(a.Assembler.Completed(), sent.size());
}

TEST(Assembler, JoinsFragmentsOfAnySizeInArrivalOrder) {
    // A caster may cut anywhere; fragments carry no position.
    TAssembly a;
    const TBytes head = Record(1, 10);
    const TBytes tail = Filler(30, 9);
    const uint32_t total = static_cast<uint32_t>(head.size() + tail.size());
    TBytes record = head;
    StoreLE32(record.data() + 12, total - kSampleHeaderSize);
    a.Feed(Datagram(4, total, 2, TBytes(record.begin(), record.end())));
    EXPECT_TRUE(a.Samples.empty());
    a.Feed(Datagram(4, total, 2, tail));
    ASSERT_EQ(a.Samples.size(), 1u);
    record.insert(record.end(), tail.begin(), tail.end());
    EXPECT_EQ(a.Samples[0], record);
}

TEST(Assembler, ANewSampleGivesUpTheIncompleteOne) {
    TAssembly a;
    const auto first = Cut(Record(1, 50000), 1);
    const TBytes second = Record(2, 50000);
    a.Feed(first[0]);
    a.Feed(first[1]); // its last fragment is lost
    a.FeedAll(Cut(second, 2));
    ASSERT_EQ(a.Samples.size(), 1u);
    EXPECT_EQ(a.Samples[0], second);
    ASSERT_EQ(a.Drops.size(), 1u);
    EXPECT_EQ(a.Drops[0], std::make_pair(1u, TDrop::Incomplete));

    // A lost first fragment: the rest start a sample of their own that the next one ends.
    const auto third = Cut(Record(3, 50000), 3);
    a.Feed(third[1]);
    a.Feed(third[2]);
    const TBytes fourth = Record(4, 10);
    a.FeedAll(Cut(fourth, 4));
    EXPECT_EQ(a.Samples.back(), fourth);
    EXPECT_EQ(a.Drops.back(), std::make_pair(3u, TDrop::Incomplete));
    EXPECT_EQ(a.Assembler.Dropped(), 2u);
}

TEST(Assembler, IgnoresDatagramsThatCannotBeFragments) {
    TAssembly a;
    const auto ds = Cut(Record(1, 30000), 1);
    a.Feed(ds[0]);
    const uint64_t before = a.Assembler.Ignored();
    a.Feed(TBytes(11, 0));                                       // shorter than its header
    a.Feed(Datagram(9, 0, 1, {}));                               // TotalSize 0
    a.Feed(Datagram(9, 100, 0, Filler(100, 1)));                 // FragmentCount 0
    a.Feed(Datagram(9, 27, 1, Filler(27, 1)));                   // shorter than a sample header
    a.Feed(Datagram(9, uint32_t(kMaxRecordSize) + 1, 4000, {})); // larger than a record
    a.Feed(Datagram(9, 3 * kMaxFragmentSize, 2, {}));            // more than its fragments hold
    EXPECT_EQ(a.Assembler.Ignored(), before + 6);
    // None of them disturbed the sample under way.
    EXPECT_TRUE(a.Drops.empty());
    a.Feed(ds[1]);
    ASSERT_EQ(a.Samples.size(), 1u);
    EXPECT_EQ(a.Samples[0], Record(1, 30000));
}

TEST(Assembler, DropsASampleWhoseFragmentsDoNotAddUp) {
    const TBytes record = Record(1, 50000);
    const uint32_t total = static_cast<uint32_t>(record.size());
    {
        SCOPED_TRACE("fragment past TotalSize");
        TAssembly a;
        auto ds = Cut(record, 1);
        ds[2].resize(ds[2].size() + 1, 0);
        a.FeedAll(ds);
        EXPECT_TRUE(a.Samples.empty());
        EXPECT_EQ(a.Drops, (std::vector<std::pair<uint32_t, TDrop>>{{1, TDrop::Overrun}}));
        EXPECT_FALSE(a.Assembler.HasPartial());
    }
    {
        SCOPED_TRACE("fragments disagree on TotalSize or FragmentCount");
        for (TBytes odd : {Datagram(1, total + 1, 3, {}), Datagram(1, total, 4, {})}) {
            TAssembly a;
            auto ds = Cut(record, 1);
            a.Feed(ds[0]);
            a.Feed(odd);
            EXPECT_EQ(a.Drops, (std::vector<std::pair<uint32_t, TDrop>>{{1, TDrop::Mismatch}}));
            EXPECT_FALSE(a.Assembler.HasPartial());
        }
    }
    {
        SCOPED_TRACE("all fragments, fewer bytes");
        TAssembly a;
        auto ds = Cut(record, 1);
        ds[1].resize(ds[1].size() - 1);
        a.FeedAll(ds);
        EXPECT_TRUE(a.Samples.empty());
        EXPECT_EQ(a.Drops, (std::vector<std::pair<uint32_t, TDrop>>{{1, TDrop::Short}}));
    }
    {
        SCOPED_TRACE("Length disagrees with TotalSize");
        TAssembly a;
        TBytes bad = record;
        StoreLE32(bad.data() + 12, 49999);
        a.FeedAll(Cut(bad, 1));
        EXPECT_TRUE(a.Samples.empty());
        EXPECT_EQ(a.Drops, (std::vector<std::pair<uint32_t, TDrop>>{{1, TDrop::NotRecord}}));
    }
}

TEST(Assembler, DiscardGivesUpSilently) {
    TAssembly a;
    const auto ds = Cut(Record(1, 50000), 1);
    a.Feed(ds[0]);
    EXPECT_TRUE(a.Assembler.Discard());
    EXPECT_FALSE(a.Assembler.Discard());
    a.Feed(ds[1]);
    a.Feed(ds[2]);
    EXPECT_TRUE(a.Drops.empty());
    EXPECT_TRUE(a.Samples.empty()); // two of three fragments
}

TEST(SampleQueue, KeepsTheNewestWithinItsCountAndItsBytes) {
    struct {
        const char* name;
        size_t payload;
        uint32_t pushed;
        uint32_t kept;
    } cases[] = {
        {"count", 0, kMaxQueuedSamples + 5, kMaxQueuedSamples},
        {"bytes", (1 << 20) - kSampleHeaderSize, 12, kMaxQueuedBytes >> 20},
        {"one sample alone above the bytes", kMaxQueuedBytes, 3, 1},
    };
    for (const auto& c : cases) {
        TSampleQueue q;
        size_t freed = 0;
        for (uint32_t i = 0; i < c.pushed; ++i) {
            TBytes r = Record(i, c.payload);
            TSampleBlock b(new uint8_t[r.size()]);
            std::copy(r.begin(), r.end(), b.get());
            freed += q.Push(std::move(b));
        }
        EXPECT_EQ(freed, c.pushed - c.kept) << c.name;
        EXPECT_EQ(q.Count(), c.kept) << c.name;
        for (uint32_t i = c.pushed - c.kept; i < c.pushed; ++i) {
            TSampleBlock b = q.Pop();
            ASSERT_TRUE(b) << c.name;
            EXPECT_EQ(SampleTimeStamp(b.get()), i) << c.name;
        }
        EXPECT_FALSE(q.Pop()) << c.name;
    }
}

} // namespace
} // namespace kiv::test
