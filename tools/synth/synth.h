// Synthetic screen recordings for demos, tests and benchmarks: a desktop with
// windows, typing, scrolling, a slide show, a clock and a moving pointer,
// recorded as key frames, replacement and exclusive-or regions, pointer
// samples and markers in every compression kind.
#pragma once

#include "format/kiv_format.h"
#include "synth/encode.h"
#include "synth/picture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kiv::synth {

struct TSynthOptions {
    uint32_t Seconds = 60;
    uint16_t Width = 1280;
    uint16_t Height = 720;
    uint32_t KeyFrameIntervalMs = 10000;
    // How often the screen is looked at: while something changes that makes
    // about 25 region updates a second, while nothing does, none.
    uint32_t SampleIntervalMs = 40;
    uint32_t Seed = 1;
    // Every payload in this compression kind instead of the usual mix. No
    // exclusive-or regions are made with JPEG; a picture too large for a
    // 24-bit image falls back to zlib.
    std::optional<TCompression> OnlyCompression;
    // One raw replacement region larger than 512 KiB, one second in.
    bool LargeRawRecord = false;
    // When not 0, the recording goes on past Seconds until its file holds at
    // least this many MiB.
    uint32_t TargetMegabytes = 0;
    // A marker this often (0: only the closing one), labelled "Chapter N".
    uint32_t MarkerIntervalMs = 20000;
    // After each marker, this long with nothing recorded at all (0: none).
    uint32_t IdleMs = 0;
    int JpegQuality = 80;
    int ZlibLevel = 6;
};

struct TSynthSummary {
    uint64_t Bytes = 0;
    uint32_t Records = 0;
    uint32_t KeyFrames = 0;
    uint32_t Duration = 0;
    uint32_t ByKind[5] = {};
    uint32_t ByCompression[4] = {};
};

// Raises EKivError naming what is wrong.
void ValidateSynthOptions(const TSynthOptions& options);

// Raises EKivError on bad options or when the file cannot be written.
void WriteSynthRecording(const std::string& path, const TSynthOptions& options,
                         TSynthSummary* summary = nullptr);
// The same recording in memory; optionally the screen as it ends.
std::vector<uint8_t> MakeSynthRecording(const TSynthOptions& options,
                                        TPicture* finalPicture = nullptr,
                                        TSynthSummary* summary = nullptr);

// The synthetic screen (without the pointer) after atMs of activity.
TPicture RenderScreen(uint16_t width, uint16_t height, uint32_t seed, uint32_t atMs);

// The screens at several moments (ascending), in one pass.
std::vector<TPicture> RenderScreens(uint16_t width, uint16_t height, uint32_t seed,
                                    const std::vector<uint32_t>& atMs);

// Thumbnails as a recorder leaves them beside a recording: "nails.xml" (lines
// of time in ms, "=", file name, CR LF) and a "nails" folder of small upright
// JPEG pictures of `count` evenly spread moments of durationMs. Returns the
// index's path; raises EKivError when a file cannot be written.
constexpr uint32_t kDefaultSynthNails = 24;
constexpr uint32_t kMaxSynthNails = 1000;
constexpr int32_t kSynthNailWidth = 96;
std::string WriteSynthNails(const std::string& recordingPath, const TSynthOptions& options,
                            uint32_t durationMs, uint32_t count);

// `kivsynth OUT [options]`: argv[0] names the command in the usage line,
// argv[1..] are the arguments. Returns the exit code: 0 done, 1 failed, 2 bad arguments.
// Thumbnails are written unless --nails says otherwise, defaultNails of them.
int SynthCommand(int argc, char** argv, uint32_t defaultNails = 0);

} // namespace kiv::synth
