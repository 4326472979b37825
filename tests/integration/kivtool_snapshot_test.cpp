// kivtool snapshot, snapshot --play and play on short and damaged recordings: every
// run ends, with the contract's exit code and the picture the control would show.
#include "support/kiv_script.h"
#include "support/kivtool_run.h"
#include "support/png_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kiv;
using namespace kiv::test;

namespace {

TColorRef Shade(uint32_t t) {
    return MakeColor(static_cast<uint8_t>(40 + t / 10), 120, static_cast<uint8_t>(200 - t / 10));
}

// A 22 x 8 recording from records "k<time>" (a key frame), "r<time>" (a column at
// time / 100 + 1), "s<time>" (a 10 x 4 key frame), "z<time>" (a key frame of no pixels),
// "w<time>" (a 23 x 8 key frame, which cannot set the picture up) and "c" as the
// corresponding damaged record ("K", "R"). Drawn lists what the player draws of it up to ms.
struct TRecording {
    TScript All{22, 8}, Drawn{22, 8};

    TRecording(std::initializer_list<const char*> records, uint32_t ms) {
        bool composed = false;
        for (const char* r : records) {
            const auto t = static_cast<uint32_t>(std::atoi(r + 1));
            const bool damaged = r[0] == 'K' || r[0] == 'R';
            const bool setsUp = r[0] == 'k' || r[0] == 's';
            const bool key = setsUp || r[0] == 'K' || r[0] == 'z' || r[0] == 'w';
            const TRect rect = r[0] == 's'   ? TRect{0, 0, 10, 4}
                               : r[0] == 'z' ? TRect{0, 0, 0, 8}
                               : r[0] == 'w' ? TRect{0, 0, 23, 8}
                               : key         ? TRect{0, 0, 22, 8}
                                             : TRect{static_cast<int32_t>(t / 100 + 1), 0,
                                             static_cast<int32_t>(t / 100 + 2), 8};
            const int16_t kind = key ? skKeyFrame : skReplacement;
            if (damaged) {
                All.Other(t, kind, static_cast<uint16_t>(rect.Left), 0, ckLzo,
                          std::vector<uint8_t>(20, 0xFF));
                continue;
            }
            All.Region(t, kind, rect, Shade(t));
            composed = composed || setsUp;
            if (composed && t <= ms) Drawn.Region(t, kind, rect, Shade(t));
        }
    }
};

bool SamePng(const std::string& path, const TBitmap24& want, std::string& why) {
    TRgbImage got;
    if (!ReadPngRgb(path, got, &why)) return false;
    if (got.Width != static_cast<uint32_t>(want.Width()) ||
        got.Height != static_cast<uint32_t>(want.Height())) {
        why = "size";
        return false;
    }
    for (uint32_t y = 0; y < got.Height; ++y)
        for (uint32_t x = 0; x < got.Width; ++x) {
            const uint8_t* p = got.Row(y) + x * 3;
            if (MakeColor(p[0], p[1], p[2]) != want.Pixel(x, y)) {
                why = "pixel " + std::to_string(x) + "," + std::to_string(y);
                return false;
            }
        }
    return true;
}

} // namespace

TEST(KivtoolSnapshot, ShortRecordingsEndWithThePictureUpToTheTimeInEveryRun) {
    struct TCase {
        const char* Name;
        TRecording Rec;
        uint32_t Ms;
        int Exit;
        bool SeekToo = true;
    };
    const TCase cases[] = {
        {"key frame not first", {{"r0", "k50", "r100", "r150", "r200", "r300", "r400"}, 60}, 60, 0},
        {"between records", {{"k0", "r100", "r200"}, 150}, 150, 0},
        {"before the first record", {{"k100", "r200"}, 50}, 50, 2},
        {"equal time stamps", {{"k0", "r100", "r100", "r200"}, 100}, 100, 0},
        {"second key frame of another size", {{"k0", "r100", "s200", "r300"}, 250}, 250, 0, false},
        {"past the end", {{"k0", "r100"}, 5000}, 5000, 0},
        {"damaged region", {{"k0", "R100", "r200", "r300"}, 250}, 250, 0},
        {"damaged key frame only", {{"K0", "r100", "r200"}, 250}, 250, 2},
        {"damaged first key frame", {{"K0", "r100", "k200", "r300"}, 350}, 350, 0},
        {"key frames that cannot set up", {{"z0", "r100", "w200", "r300"}, 350}, 350, 2},
        {"those before a good one, and one after it clipped",
         {{"z0", "w100", "r200", "k300", "w400", "r500"}, 550},
         550,
         0,
         false},
    };
    TScriptDir dir;
    const std::string rec = dir.File("r.kiv"), out = dir.File("out.png"), err = dir.File("err.txt");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Rec.All.Write(rec);
        for (const char* mode : {"--play ", ""}) {
            SCOPED_TRACE(mode);
            // A seek starts the picture from the segment's own key frame, whose size it takes.
            if (!*mode && !c.SeekToo) continue;
            const int runs = *mode ? 20 : 3;
            for (int i = 0; i < runs; ++i) {
                std::remove(out.c_str());
                const TRun run = RunKivtool(err, std::string("snapshot ") + mode + rec + " " +
                                                     std::to_string(c.Ms) + " " + out);
                ASSERT_EQ(run.Exit, c.Exit) << run.Err;
                if (c.Exit != 0) {
                    EXPECT_FALSE(std::filesystem::exists(out)) << "no picture, no file";
                    continue;
                }
                std::string why;
                ASSERT_TRUE(SamePng(out, c.Rec.Drawn.Expected(c.Rec.Drawn.Samples.size() - 1), why))
                    << why << " in run " << i;
            }
        }
    }
}

TEST(KivtoolSnapshot, PlayAndSnapshotsEndOnDamagedAndPalettedRecordings) {
    TScriptDir dir;
    const std::string rec = dir.File("r.kiv"), err = dir.File("err.txt");
    TRecording r({"k0", "R100", "R200", "r300"}, 300);
    r.All.Write(rec);
    const TRun run = RunKivtool(err, "play " + rec + " --snapshot " + dir.File("end.png"));
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_NE(run.Out.find("position: 300\n"), std::string::npos) << run.Out;

    // A key frame of 8 bits per pixel cannot start the picture: no key frame is composed.
    TScript paletted(22, 8);
    paletted.Other(0, skKeyFrame, 0, 0, ckRaw,
                   MakeBmp(22, 8, 8, [](int32_t x, int32_t) { return x % 2u; },
                           {MakeColor(0, 0, 0), MakeColor(255, 255, 255)}));
    paletted.Write(rec);
    for (const char* args : {"snapshot ", "snapshot --play "}) {
        const TRun shot = RunKivtool(err, args + rec + " 50 " + dir.File("p.png"));
        EXPECT_EQ(shot.Exit, 2) << args << shot.Err;
    }
}
