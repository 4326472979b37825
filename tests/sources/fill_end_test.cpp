// The end of a recording is final: later read requests deliver nothing more.
#include "fill_test_util.h"
#include "support/nginx.h"

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::test;
using kiv::synth::TRecordingWriter;

TEST(FillEnd, NothingAfterTheDurationRecordComesWithLaterReads) {
    TRecordingWriter w(8, 8);
    for (uint32_t t = 0; t <= 200; t += 40)
        w.AddSample(MakeHeader(t, t ? skReplacement : skKeyFrame), nullptr, 0);
    w.Duration = 80; // the records at 120, 160 and 200 follow the last one
    TTempDir dir;
    TFillHost host;
    ASSERT_EQ(host.Open(dir.Write("r.kiv", w.Finish())), 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(host.Pass());
    EXPECT_TRUE(host.Thread->Exhausted());
    EXPECT_EQ(host.Context.Frames.Count(), 3);
    EXPECT_EQ(host.Context.Frames.LastTimeStamp(), 80u);
}
