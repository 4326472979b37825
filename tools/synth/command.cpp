#include "synth/synth.h"

#include "platform/parse.h"

#include "platform/error.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

namespace kiv::synth {
namespace {

constexpr const char kUsage[] =
    "OUT [--seconds N] [--width W] [--height H] [--seed S] [--keyframe-ms N] "
    "[--interval-ms N] [--compression mixed|raw|jpeg|lzo|zlib] [--large-raw] [--target-mb N] "
    "[--marker-ms N] [--idle-ms N] [--jpeg-quality Q] [--zlib-level L] [--nails N]";

bool ParseCompression(const char* text, std::optional<TCompression>& out) {
    static constexpr struct {
        const char* Name;
        std::optional<TCompression> Value;
    } kNames[] = {{"mixed", std::nullopt}, {"raw", ckRaw},   {"jpeg", ckJpeg},
                  {"lzo", ckLzo},          {"zlib", ckZlib}, {"0", ckRaw},
                  {"1", ckJpeg},           {"2", ckLzo},     {"3", ckZlib}};
    for (const auto& n : kNames)
        if (std::strcmp(text, n.Name) == 0) {
            out = n.Value;
            return true;
        }
    return false;
}

int Usage(const char* name, const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "%s: %s\n", name, problem.c_str());
    std::fprintf(stderr, "usage: %s %s\n", name, kUsage);
    return 2;
}

} // namespace

int SynthCommand(int argc, char** argv, uint32_t defaultNails) {
    const char* name = argc > 0 && argv[0] ? argv[0] : "kivsynth";
    TSynthOptions o;
    // The demo shows idle stretches to skip.
    o.IdleMs = 6000;
    uint32_t nails = defaultNails;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("usage: %s %s\n", name, kUsage);
            return 0;
        }
        if (arg == "--large-raw") {
            o.LargeRawRecord = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            if (!out.empty()) return Usage(name, "more than one output file");
            out = arg;
            continue;
        }
        if (i + 1 >= argc) return Usage(name, arg + " needs a value");
        const char* value = argv[++i];
        uint64_t n = 0;
        bool ok = true;
        auto number = [&](uint64_t max) { return ok = ParseDecimal(value, max, n), n; };
        if (arg == "--seconds")
            o.Seconds = uint32_t(number(2000000));
        else if (arg == "--width")
            o.Width = uint16_t(number(65535));
        else if (arg == "--height")
            o.Height = uint16_t(number(65535));
        else if (arg == "--seed")
            o.Seed = uint32_t(number(std::numeric_limits<uint32_t>::max()));
        else if (arg == "--keyframe-ms")
            o.KeyFrameIntervalMs = uint32_t(number(std::numeric_limits<uint32_t>::max()));
        else if (arg == "--interval-ms")
            o.SampleIntervalMs = uint32_t(number(1000));
        else if (arg == "--target-mb")
            o.TargetMegabytes = uint32_t(number(3800));
        else if (arg == "--marker-ms")
            o.MarkerIntervalMs = uint32_t(number(std::numeric_limits<uint32_t>::max()));
        else if (arg == "--idle-ms")
            o.IdleMs = uint32_t(number(std::numeric_limits<uint32_t>::max()));
        else if (arg == "--jpeg-quality")
            o.JpegQuality = int(number(100));
        else if (arg == "--zlib-level")
            o.ZlibLevel = int(number(9));
        else if (arg == "--nails")
            nails = uint32_t(number(kMaxSynthNails));
        else if (arg == "--compression")
            ok = ParseCompression(value, o.OnlyCompression);
        else
            return Usage(name, "unknown option " + arg);
        if (!ok) return Usage(name, "bad value for " + arg + ": " + value);
    }
    if (out.empty()) return Usage(name, "no output file");
    try {
        ValidateSynthOptions(o);
    } catch (const EKivError& e) {
        return Usage(name, e.what());
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        TSynthSummary s;
        WriteSynthRecording(out, o, &s);
        const double secs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::error_code ec;
        const std::filesystem::path where = std::filesystem::absolute(out, ec);
        std::printf("%s: %llu bytes (%.1f MiB), %u records, %u key frames, %u ms, made in %.1f s\n",
                    ec ? out.c_str() : where.c_str(), static_cast<unsigned long long>(s.Bytes),
                    double(s.Bytes) / (1 << 20), s.Records, s.KeyFrames, s.Duration, secs);
        if (nails > 0) {
            const std::string index = WriteSynthNails(out, o, s.Duration, nails);
            std::printf("%s: %u thumbnails\n", index.c_str(), nails);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
        return 1;
    }
}

} // namespace kiv::synth
