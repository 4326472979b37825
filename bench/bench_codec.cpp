// UnZipBuffer against the libraries it wraps, on screen pictures of the synthetic
// desktop: a 1920 x 1080 key frame and a 400 x 300 region, each compression kind.
// The table at the end gives our time over the library's (goal: within 5 %).
#include "codec/kivdecoder.h"
#include "synth/synth.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <lzo/lzo1x.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

using kiv::TCompression;
using kiv::synth::TBmpDepth;
using kiv::synth::TPayloadEncoder;
using kiv::synth::TPicture;
using kiv::synth::TRect;

constexpr const char* kKindNames[] = {"raw", "jpeg", "lzo", "zlib"};
constexpr uint32_t kDestSize = 8u << 20; // a 24-bit 1920 x 1080 image is 6,220,854 bytes

struct TCase {
    std::vector<uint8_t> Payload;
    uint32_t Decoded = 0;
};

const TPicture& Screen() {
    static const TPicture screen = kiv::synth::RenderScreen(1920, 1080, 7, 30000);
    return screen;
}

const TCase& Case(TCompression kind, bool keyFrame) {
    static std::map<std::pair<int, bool>, TCase> cases;
    TCase& c = cases[{kind, keyFrame}];
    if (c.Payload.empty()) {
        TPayloadEncoder enc;
        // The key frame at 24 bits, as a JPEG must be, whatever the player's buffer.
        const TRect r = keyFrame ? Screen().Bounds() : TRect{700, 300, 1100, 600};
        c.Payload = enc.Encode(Screen(), r, kind, TBmpDepth::Bits24);
        c.Decoded = uint32_t(kiv::synth::BmpImageSize(r.Width(), r.Height(), 24));
    }
    return c;
}

std::vector<uint8_t>& Dest() {
    static std::vector<uint8_t> dest(kDestSize);
    return dest;
}

void Ours(benchmark::State& state, TCompression kind, bool keyFrame) {
    const TCase& c = Case(kind, keyFrame);
    uint8_t* dest = Dest().data();
    for (auto _ : state) {
        int32_t n = UnZipBuffer(c.Payload.data(), uint32_t(c.Payload.size()), int16_t(kind), dest,
                                kDestSize);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * c.Decoded);
}

// The JPEG library with the decoder's settings, scanlines from the last row up.
bool LibraryJpeg(const std::vector<uint8_t>& payload, uint8_t* dest) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, payload.data(), static_cast<unsigned long>(payload.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.dct_method = JDCT_IFAST;
    info.do_block_smoothing = TRUE;
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    const size_t row = (size_t(info.output_width) * 24 + 31) / 32 * 4;
    uint8_t* p = dest + 54 + row * (info.output_height - 1);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {p};
        p -= row * jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

void Library(benchmark::State& state, TCompression kind, bool keyFrame) {
    const TCase& c = Case(kind, keyFrame);
    uint8_t* dest = Dest().data();
    if (lzo_init() != LZO_E_OK) state.SkipWithError("lzo_init failed");
    for (auto _ : state) {
        switch (kind) {
        case kiv::ckRaw:
            std::memcpy(dest, c.Payload.data(), c.Payload.size());
            break;
        case kiv::ckJpeg:
            if (!LibraryJpeg(c.Payload, dest)) state.SkipWithError("JPEG failed");
            break;
        case kiv::ckLzo: {
            lzo_uint len = kDestSize;
            if (lzo1x_decompress_safe(c.Payload.data(), c.Payload.size(), dest, &len, nullptr) !=
                LZO_E_OK)
                state.SkipWithError("LZO failed");
            break;
        }
        case kiv::ckZlib: {
            z_stream z{};
            z.next_in = const_cast<Bytef*>(c.Payload.data());
            z.avail_in = uInt(c.Payload.size());
            z.next_out = dest;
            z.avail_out = kDestSize;
            inflateInit(&z);
            if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
            inflateEnd(&z);
            break;
        }
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * c.Decoded);
}

// Keeps the fastest time of each benchmark (the median when only aggregates are
// reported) and prints ours over the library's.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    TRatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            const double ns = r.GetAdjustedRealTime(); // every benchmark here is in ns
            std::string name = r.benchmark_name();
            if (r.run_type == Run::RT_Aggregate) {
                if (r.aggregate_name != "median") continue;
                name.resize(name.size() - std::strlen("_median"));
                FBest.try_emplace(name, ns);
                continue;
            }
            auto it = FBest.find(name);
            if (it == FBest.end() || ns < it->second) FBest[name] = ns;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-12s %14s %14s %8s\n", "case", "ours ns", "library ns", "ratio");
        for (const auto& [name, ours] : FBest) {
            if (name.rfind("UnZipBuffer/", 0) != 0) continue;
            const std::string rest = name.substr(std::strlen("UnZipBuffer/"));
            auto lib = FBest.find("Library/" + rest);
            if (lib == FBest.end()) continue;
            std::printf("%-12s %14.0f %14.0f %8.3f\n", rest.c_str(), ours, lib->second,
                        ours / lib->second);
        }
    }

private:
    std::map<std::string, double> FBest;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    InitDecoder();
    for (int k = 0; k < 4; ++k)
        for (bool key : {true, false}) {
            const auto kind = TCompression(k);
            const std::string suffix = std::string(kKindNames[k]) + (key ? "/key" : "/region");
            benchmark::RegisterBenchmark(("UnZipBuffer/" + suffix).c_str(), Ours, kind, key)
                ->Unit(benchmark::kNanosecond);
            benchmark::RegisterBenchmark(("Library/" + suffix).c_str(), Library, kind, key)
                ->Unit(benchmark::kNanosecond);
        }
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    UninitDecoder();
    return 0;
}
