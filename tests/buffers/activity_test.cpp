#include "buffers/activity.h"
#include "format/recording_reader.h"
#include "support/kiv_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kiv;
using namespace kiv::test;

namespace {

struct TRec {
    uint32_t Time;
    int16_t Kind;
    uint32_t Length; // payload bytes (zeros), or the text's for a marker
    uint16_t MouseX = 0, MouseY = 0;
    std::string Text = {};
};

std::vector<uint8_t> Block(const TRec& r) {
    TSampleHeader h{};
    h.TimeStamp = r.Time;
    h.Kind = r.Kind;
    h.Length = r.Text.empty() ? r.Length : static_cast<uint32_t>(r.Text.size());
    // A pointer sample places the pointer at Left, Top; the others carry it.
    (r.Kind == skPointer ? h.Left : h.MouseX) = r.MouseX;
    (r.Kind == skPointer ? h.Top : h.MouseY) = r.MouseY;
    std::vector<uint8_t> b(kSampleHeaderSize + h.Length);
    StoreSampleHeader(h, b.data());
    std::copy(r.Text.begin(), r.Text.end(), b.begin() + kSampleHeaderSize);
    return b;
}

void Feed(TActivity& a, const std::vector<TRec>& recs) {
    for (const TRec& r : recs)
        a.Note(Block(r).data());
}

std::string Stretches(const TActivity& a, uint32_t threshold = 2000) {
    std::string s;
    for (const TIdleStretch& i : a.IdleStretches(threshold))
        s += (s.empty() ? "" : " ") + std::to_string(i.From) + "-" + std::to_string(i.To);
    return s;
}

} // namespace

TEST(Activity, IdleStretchesAreWhereNothingChangesThePictureOrMovesThePointer) {
    struct TCase {
        const char* Name;
        std::vector<TRec> Recs;
        std::string Idle;
    } cases[] = {
        {"a gap between regions",
         {{0, skKeyFrame, 50}, {100, skReplacement, 9}, {5000, skDifference, 9}},
         "100-5000"},
        {"a pointer move breaks it",
         {{0, skKeyFrame, 50}, {3000, skPointer, 0, 5, 5}, {6000, skReplacement, 9}},
         "0-3000 3000-6000"},
        {"the pointer where it was does not",
         {{0, skKeyFrame, 50, 5, 5}, {3000, skPointer, 0, 5, 5}, {6000, skReplacement, 9}},
         "0-6000"},
        {"neither does an empty region nor a marker",
         {{0, skKeyFrame, 50},
          {2500, skReplacement, 0},
          {4000, skMarker, 0},
          {6000, skReplacement, 9}},
         "0-6000"},
        {"a new pointer shape is a change",
         {{0, skKeyFrame, 50}, {3000, skPointer, 40}, {6000, skReplacement, 9}},
         "0-3000 3000-6000"},
        {"at the threshold it is not idle", {{0, skKeyFrame, 50}, {2000, skReplacement, 9}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TActivity a;
        Feed(a, c.Recs);
        EXPECT_EQ(Stretches(a), c.Idle);
        // The search the play loop makes finds the same stretches.
        const auto all = a.IdleStretches(2000);
        for (uint32_t t = 0; t <= 7000; t += 50) {
            TIdleStretch got{}, want{};
            const bool in = std::any_of(all.begin(), all.end(), [&](const TIdleStretch& i) {
                return i.From <= t && t < i.To && (want = i, true);
            });
            ASSERT_EQ(a.IdleStretchAt(t, 2000, got), in) << t;
            if (in) {
                EXPECT_EQ(got.From, want.From) << t;
            }
        }
    }
}

TEST(Activity, CountsEachSecondOnceWhateverIsReadAgain) {
    TActivity a;
    // Two records share a time stamp: both count, once each.
    const std::vector<TRec> recs = {{0, skKeyFrame, 50},
                                    {300, skPointer, 0, 1, 1},
                                    {1200, skReplacement, 9},
                                    {1500, skPointer, 0, 2, 2},
                                    {1500, skReplacement, 4}};
    Feed(a, recs);
    Feed(a, recs); // a seek read them again
    const auto seconds = a.Seconds();
    ASSERT_EQ(seconds.size(), 2u);
    EXPECT_EQ(seconds[1].Second, 1u);
    EXPECT_EQ(seconds[0].PictureBytes, 50u);
    EXPECT_EQ(seconds[0].PointerSamples, 1u);
    EXPECT_EQ(seconds[1].PictureBytes, 13u);
    EXPECT_EQ(seconds[1].PointerSamples, 1u);
    // Once a scan takes over, what reading brings is not counted.
    a.BeginScan();
    Feed(a, {{9000, skReplacement, 9}});
    EXPECT_TRUE(a.Seconds().empty());
    // A time stamp far away is one second more, not room for all before it.
    a.Clear();
    Feed(a, {{0xFFFFFFF0u, skReplacement, 9}});
    ASSERT_EQ(a.Seconds().size(), 1u);
    EXPECT_EQ(a.Seconds()[0].Second, 0xFFFFFFF0u / 1000);
}

TEST(Activity, MarkersAndTheirNeighbours) {
    TActivity a;
    Feed(a, {{0, skKeyFrame, 50},
             {1000, skMarker, 0, 0, 0, "Intro"},
             {5000, skMarker, 0},
             {9000, skMarker, 0, 0, 0, std::string(300, 'x')}});
    const auto markers = a.Markers();
    ASSERT_EQ(markers.size(), 3u);
    EXPECT_EQ(markers[0].Text, "Intro");
    EXPECT_EQ(markers[1].Text, "");
    EXPECT_EQ(markers[2].Text.size(), kMaxMarkerText);
    struct TCase {
        bool Next;
        uint32_t From;
        int64_t To; // -1: none
    } cases[] = {
        {true, 0, 1000},     {true, 1000, 5000},   {true, 9000, -1},    {false, 500, -1},
        {false, 1500, -1},   {false, 2500, 1000},  {false, 5000, 1000}, {false, 5900, 1000},
        {false, 6500, 5000}, {false, 99999, 9000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Next ? "next" : "previous") + " from " + std::to_string(c.From));
        uint32_t to = 0;
        const bool found = c.Next ? a.NextMarker(c.From, to) : a.PreviousMarker(c.From, 1000, to);
        EXPECT_EQ(found ? int64_t{to} : -1, c.To);
    }
}

TEST(Activity, AScanOfTheHeadersFindsWhatReadingFinds) {
    TScriptDir dir;
    TScript s(16, 8);
    s.Key(0, 0x102030).Pointer(500, 3, 3).Marker(700);
    s.Region(4000, skReplacement, {1, 1, 4, 4}, 0x405060).Key(8000, 0x708090);
    const std::string path = dir.File("r.kiv");
    s.Write(path);

    TActivity read, scanned;
    TFileStream stream(path);
    const TOpenedRecording opened = OpenRecording(stream);
    ASSERT_EQ(opened.Code, 0);
    TRecordingWalker walker(stream, opened.Header);
    ASSERT_TRUE(walker.Run([&](TSampleBlock b) { read.Note(b.get()); }));

    scanned.BeginScan();
    stream.Seek(opened.DataStart, soBeginning);
    std::atomic<bool> abort{false};
    ASSERT_TRUE(ScanRecordHeaders(
        stream, opened.Header,
        [&](const TSampleHeader& h, const std::string& text) { scanned.NoteScanned(h, text); },
        abort));
    scanned.EndScan();

    const auto a = read.Seconds(), b = scanned.Seconds();
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].PictureBytes, b[i].PictureBytes) << i;
        EXPECT_EQ(a[i].PointerSamples, b[i].PointerSamples) << i;
    }
    EXPECT_EQ(Stretches(read), Stretches(scanned));
    EXPECT_EQ(Stretches(read), "500-4000 4000-8000");
    ASSERT_EQ(scanned.Markers().size(), 1u);
    EXPECT_EQ(scanned.Markers()[0].Time, 700u);
    EXPECT_TRUE(scanned.Scanned());
}
