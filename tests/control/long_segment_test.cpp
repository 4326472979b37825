// A segment larger than the frames buffer holds: a seek deep into it shows the
// picture that playing shows there, drawn in pieces within the buffer's bound.
#include "control/kiv_player_core.h"
#include "platform/kiv_messages.h"
#include "support/core_probe.h"
#include "support/kiv_script.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace kiv;
using namespace kiv::test;

namespace {

struct TNotices : IControlView {
    void PositionAnswered(uint32_t) override { Answered = true; }
    void ClockHeld(uint32_t) override { Held = true; }
    bool Answered = false, Held = false;
};

struct TSession {
    TQueueWindow Window;
    TNotices View;
    TKivPlayerCore Core;
    explicit TSession(int64_t holdAfter, int64_t limitBytes)
        : Core(&Window, nullptr, &View, nullptr, Options(holdAfter)) {
        TKivPlayerCoreProbe::Context(Core).Frames.SetLimits(limitBytes, 1 << 20);
        Core.SetAutoStart(false);
    }
    static TKivPlayerCore::TOptions Options(int64_t holdAfter) {
        TKivPlayerCore::TOptions o;
        o.Clock = MakeVirtualClock(holdAfter);
        return o;
    }
    void PumpUntil(const std::function<bool()>& done) {
        TMessage m;
        while (!done()) {
            Window.Queue.Get(m);
            Core.HandleMessage(m);
        }
    }
    std::vector<uint8_t> Picture() const {
        std::vector<uint8_t> bytes;
        Core.Picture().Read([&](const TBitmap24& b) {
            bytes.assign(b.Bits(), b.Bits() + b.Stride() * b.Height());
        });
        return bytes;
    }
};

TEST(LongSegment, ASeekDeepInsideShowsThePlayedPicture) {
    TScriptDir dir;
    const std::string path = dir.File("long.kiv");
    synth::TSynthOptions o;
    o.Seconds = 12;
    o.Width = 320;
    o.Height = 240;
    o.KeyFrameIntervalMs = 60000; // one segment
    o.MarkerIntervalMs = 0;
    synth::WriteSynthRecording(path, o);
    constexpr uint32_t kTarget = 10000;

    TSession played(kTarget, INT64_MAX);
    ASSERT_EQ(played.Core.Open(path), S_OK);
    played.PumpUntil([&] { return played.Core.PlayState() != vpOpening; });
    played.Core.Play();
    played.PumpUntil([&] { return played.View.Held; });

    // A bound far below the segment's size.
    TSession sought(-1, 64 << 10);
    ASSERT_EQ(sought.Core.Open(path), S_OK);
    sought.PumpUntil([&] { return sought.Core.PlayState() != vpOpening; });
    ASSERT_EQ(sought.Core.SetCurrentPosition(kTarget), S_OK);
    sought.PumpUntil([&] { return sought.View.Answered; });
    EXPECT_TRUE(sought.Picture() == played.Picture());
    EXPECT_LT(TKivPlayerCoreProbe::Context(sought.Core).Frames.PeakByteCount(), 1 << 20);
}

} // namespace
