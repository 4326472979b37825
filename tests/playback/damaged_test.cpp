// Recordings with damaged payloads play through and answer seeks: each damaged
// sample is passed over and the picture is what the undamaged samples make.
#include "playback/play_thread.h"
#include "sources/fill_thread.h"
#include "support/kiv_script.h"
#include "support/play_harness.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace kiv;
using namespace kiv::test;

namespace {

// Payloads that do not decode, and raw key frames whose size cannot set up a picture
// of the 32 x 8 recordings below: no pixels, or a 54-byte header claiming 16384 pixels
// a side.
enum TDamage { dLzo, dZlib, dJpeg, dNoWidth, dNoHeight, dHuge };

std::vector<uint8_t> Garbage(TDamage d) {
    constexpr TColorRef kRed = MakeColor(255, 0, 0);
    switch (d) {
    case dJpeg:
        return {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0x02, 0x03};
    case dNoWidth:
        return SolidBmp(0, 8, kRed);
    case dNoHeight:
        return SolidBmp(32, 0, kRed);
    case dHuge: {
        auto header = SolidBmp(1, 1, kRed);
        header.resize(54);
        bmp_detail::Put32(header, 18, 16384);
        bmp_detail::Put32(header, 22, 16384);
        return header;
    }
    default:
        return std::vector<uint8_t>(24, d == dLzo ? 0xFF : 0x55);
    }
}
uint16_t CompressionOf(TDamage d) {
    return d == dLzo ? ckLzo : d == dZlib ? ckZlib : d == dJpeg ? ckJpeg : ckRaw;
}

// Three column segments (key frames at 0, 1000, 2000); the samples at `damaged` carry
// garbage of their kind instead. `clean` leaves them out altogether.
TScript Damaged(const std::map<uint32_t, TDamage>& damaged, bool clean, int16_t kind) {
    return ColumnScript(3, [&](TScript& s, uint32_t t) {
        auto it = damaged.find(t);
        if (it == damaged.end()) return false;
        if (!clean)
            s.Other(t, kind, static_cast<uint16_t>(t / 100), 1, CompressionOf(it->second),
                    Garbage(it->second));
        return true;
    });
}

// The key frames of a script, damaged at `keys`.
TScript DamagedKeys(const std::set<uint32_t>& keys, TDamage d) {
    TScript s = ColumnScript(3);
    for (auto& sample : s.Samples) {
        if (sample.Header.Kind != skKeyFrame || !keys.count(sample.Header.TimeStamp)) continue;
        sample.Header.Compression = CompressionOf(d);
        sample.Payload = Garbage(d);
        sample.Paints = {};
    }
    return s;
}

class DamagedTest : public ::testing::Test {
protected:
    void TearDown() override { Close(); }
    void Close() {
        if (Play) Play->Destroy();
        if (Fill) Fill->Destroy();
        Play.reset();
        Fill.reset();
        Ctx.Frames.Clear();
        Ctx.KeyFrames.Clear();
        Ctx.IndexTable.Clear();
    }
    void Open(const TScript& script) {
        Close();
        const std::string path = Dir.File("r.kiv");
        script.Write(path);
        Window = std::make_unique<TWindowLog>();
        Ctx.Window = Window.get();
        Fill = std::make_unique<TFillThread>(&Ctx);
        Fill->Start();
        Ctx.FillThread = Fill.get();
        Fill->Open(path);
        TMessage m;
        ASSERT_TRUE(Window->TakeNext(WM_OPENRESULT, m));
        ASSERT_EQ(m.WParam, 0);
        Play = std::make_unique<TPlayThread>(&Ctx, std::make_shared<TVirtualClock>(),
                                             Dir.File("dump.txt"));
        Play->Start();
        Ctx.PlayThread = Play.get();
    }
    // The next notice for hosts; its number, or 0 at the time-out.
    TMessage Notice() {
        TMessage m;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerous);
        while (!Window->Notices.TryGet(m))
            if (!Window->Notices.WaitUntil(deadline)) return {};
        return m;
    }
    TBitmap24 Picture() {
        std::lock_guard guard(Play->BackBuffer()->Lock());
        return Play->BackBuffer()->Initialized() ? Play->BackBuffer()->Picture() : TBitmap24{};
    }
    bool Positioned() {
        TMessage m;
        return Window->TakeNext(WM_POSITIONCHANGED, m);
    }

    TScriptDir Dir;
    TPlayContext Ctx;
    std::unique_ptr<TWindowLog> Window;
    std::unique_ptr<TFillThread> Fill;
    std::unique_ptr<TPlayThread> Play;
};

} // namespace

TEST_F(DamagedTest, DamagedRegionsAndPointerShapesArePassedOver) {
    struct TCase {
        const char* Name;
        std::map<uint32_t, TDamage> Damage;
        int16_t Kind;
    };
    const TCase cases[] = {
        {"lzo region", {{200, dLzo}}, skReplacement},
        {"zlib region", {{1300, dZlib}}, skDifference},
        {"jpeg region", {{2500, dJpeg}}, skReplacement},
        {"two in a row", {{400, dLzo}, {500, dZlib}}, skReplacement},
        {"pointer shapes", {{600, dLzo}, {1700, dJpeg}}, skPointer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TScript clean = Damaged(c.Damage, true, c.Kind);
        TLogCapture log;
        Open(Damaged(c.Damage, false, c.Kind));
        if (HasFatalFailure()) return;
        Play->Play();
        EXPECT_EQ(Notice().Msg, WM_PLAYEDTOEND);
        EXPECT_EQ(Play->SkippedSamples(), c.Damage.size());
        EXPECT_EQ(log.Count("TPlayThread.DrawSampleOneByOne raise:"),
                  static_cast<int>(c.Damage.size()));
        EXPECT_TRUE(SamePicture(Picture(), clean.Expected(clean.Samples.size() - 1)));
        Play->Pause();

        // Seeks into each damaged segment redraw it from its key frame; one to the
        // sample shown already draws nothing and only answers.
        uint32_t shown = 2950;
        for (const auto& [time, damage] : c.Damage) {
            const uint32_t target = time / 1000 * 1000 + 950;
            Play->SetPosition(target);
            const TMessage answer = Notice();
            EXPECT_EQ(answer.Msg, WM_POSITIONANSWERED) << time;
            if (target != shown) {
                EXPECT_TRUE(Positioned());
            }
            shown = target;
            EXPECT_TRUE(SamePicture(Picture(), clean.Expected(clean.IndexOf(target - 50))))
                << target;
        }
    }
}

// Also a key frame that cannot set the picture up: the next good one does.
TEST_F(DamagedTest, DamagedKeyFrameDrawsNothingUntilTheNextGoodOne) {
    struct TCase {
        const char* Name;
        std::set<uint32_t> Keys;
        TDamage Damage;
    };
    const TCase cases[] = {
        {"first lzo", {0}, dLzo},
        {"first jpeg", {0}, dJpeg},
        {"second zlib", {1000}, dZlib},
        {"first two", {0, 1000}, dLzo},
        {"first of no width", {0}, dNoWidth},
        {"first of no height", {0}, dNoHeight},
        {"first two of 16384 a side", {0, 1000}, dHuge},
    };
    const TScript good = ColumnScript(3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Open(DamagedKeys(c.Keys, c.Damage));
        if (HasFatalFailure()) return;
        Play->Play();
        EXPECT_EQ(Notice().Msg, WM_PLAYEDTOEND);
        EXPECT_EQ(Play->SkippedSamples(), c.Keys.size());
        EXPECT_TRUE(SamePicture(Picture(), good.Expected(good.Samples.size() - 1)))
            << "the last segment's key frame is good";
        Play->Pause();

        // A seek into a damaged segment is answered; its regions draw nothing.
        const TBitmap24 before = Picture();
        Play->SetPosition(*c.Keys.rbegin() + 500);
        EXPECT_EQ(Notice().Msg, WM_POSITIONANSWERED);
        EXPECT_TRUE(Positioned());
        EXPECT_TRUE(SamePicture(Picture(), before));
        Play->SetPosition(200);
        EXPECT_EQ(Notice().Msg, WM_POSITIONANSWERED);
        EXPECT_TRUE(SamePicture(Picture(), c.Keys.count(0) ? before : good.Expected(2)));
    }
}
