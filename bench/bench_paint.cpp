// Painting a changed rectangle: the direct copy of a whole 1920 x 1080 picture
// against memcpy of its bytes (goal: at most 1.5 times), and the bilinear
// scaling of it into 1280 x 720 and 960 x 540 against decoding its JPEG key
// frame (goal: at most half).
#include "codec/kivdecoder.h"
#include "control/picture_copy.h"
#include "synth/synth.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;

const kiv::synth::TPicture& Screen() {
    static const kiv::synth::TPicture screen = kiv::synth::RenderScreen(kWidth, kHeight, 7, 30000);
    return screen;
}

// The screen as the back buffer holds it.
const kiv::TBitmap24& Back() {
    static const kiv::TBitmap24 back = [] {
        kiv::TBitmap24 b;
        b.Create(kWidth, kHeight);
        kiv::synth::TPayloadEncoder enc;
        const auto raw =
            enc.Encode(Screen(), Screen().Bounds(), kiv::ckRaw, kiv::synth::TBmpDepth::Bits24);
        // A bottom-up DIB after its 54-byte header.
        for (int32_t y = 0; y < kHeight; ++y)
            std::memcpy(b.Row(y), raw.data() + 54 + (kHeight - 1 - y) * b.Stride(),
                        size_t{3} * kWidth);
        return b;
    }();
    return back;
}

void Memcpy(benchmark::State& state) {
    const kiv::TBitmap24& src = Back();
    std::vector<uint8_t> dst(src.Stride() * kHeight);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.Bits(), dst.size());
        benchmark::ClobberMemory();
    }
}

void DirectCopy(benchmark::State& state) {
    const kiv::TBitmap24& src = Back();
    kiv::TBitmap24 dst;
    dst.Create(kWidth, kHeight);
    for (auto _ : state) {
        kiv::CopyRect(kiv::PixelsOf(dst), kiv::PixelsOf(src), src.Bounds());
        benchmark::ClobberMemory();
    }
}

void Scale(benchmark::State& state, int32_t w, int32_t h) {
    const kiv::TBitmap24& src = Back();
    kiv::TBitmap24 dst;
    dst.Create(w, h);
    for (auto _ : state) {
        kiv::ScaleRectBilinear(kiv::PixelsOf(dst), dst.Bounds(), kiv::PixelsOf(src), src.Bounds());
        benchmark::ClobberMemory();
    }
}

void JpegKeyFrame(benchmark::State& state) {
    kiv::synth::TPayloadEncoder enc;
    const auto payload =
        enc.Encode(Screen(), Screen().Bounds(), kiv::ckJpeg, kiv::synth::TBmpDepth::Bits24);
    std::vector<uint8_t> dest(8u << 20);
    for (auto _ : state) {
        int32_t n = UnZipBuffer(payload.data(), uint32_t(payload.size()), int16_t(kiv::ckJpeg),
                                dest.data(), uint32_t(dest.size()));
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
}

// Keeps each benchmark's fastest time and prints the ratios of the goals.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred || r.run_type == Run::RT_Aggregate) continue;
            // CPU time: the machine is shared, and every case runs on one thread.
            const double ns = r.GetAdjustedCPUTime();
            auto it = FBest.find(r.benchmark_name());
            if (it == FBest.end() || ns < it->second) FBest[r.benchmark_name()] = ns;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto ratio = [&](const char* a, const char* b, const char* goal) {
            if (!FBest.count(a) || !FBest.count(b)) return;
            std::printf("%-22s / %-14s %7.3f  (goal: %s)\n", a, b, FBest[a] / FBest[b], goal);
        };
        std::printf("\n");
        ratio("DirectCopy", "Memcpy", "at most 1.5");
        ratio("ScaleRectBilinear/720", "JpegKeyFrame", "at most 0.45");
        ratio("ScaleRectBilinear/540", "JpegKeyFrame", "at most 0.5");
    }

private:
    std::map<std::string, double> FBest;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    InitDecoder();
    Back();
    benchmark::RegisterBenchmark("Memcpy", Memcpy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("DirectCopy", DirectCopy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("ScaleRectBilinear/720", Scale, 1280, 720)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("ScaleRectBilinear/540", Scale, 960, 540)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("JpegKeyFrame", JpegKeyFrame)->Unit(benchmark::kMicrosecond);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    UninitDecoder();
    return 0;
}
