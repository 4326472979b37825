// Playback figures: lateness of drawn samples at 1x, CPU time while playing a
// sparse recording, and seek latency against decoding the same samples alone.
//   bench_playback timing SECONDS      lateness over a synthetic recording
//   bench_playback sparse SECONDS      CPU time, one sample every 2 s
//   bench_playback seek FILE COUNT [ADDRESS]  random seeks (of FILE served at ADDRESS)
#include "bench_util.h"
#include "codec/kivdecoder.h"
#include "control/core_impl.h"
#include "format/recording_reader.h"
#include "platform/heap_tuning.h"
#include "platform/kiv_messages.h"
#include "playback/play_clock.h"
#include "synth/recording_writer.h"
#include "synth/synth.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

// The bench looks inside, to let a seek's read-ahead finish before the next seek is
// timed; hosts only have the core's notices.
namespace kiv {
class TKivPlayerCoreProbe {
public:
    static bool Quiet(TKivPlayerCore& core) {
        return core.FCore->FFillThread->Idle() && core.FCore->FPlayThread->Idle();
    }
    static const TSeekTimes& SeekTimes(TKivPlayerCore& core) {
        return core.FCore->FPlayThread->SeekTimes();
    }
};
} // namespace kiv

using namespace kiv;
using namespace kiv::bench;

namespace {

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Where the time of seeks outside the buffer went, phase by phase (ms), beside the
// key frame decoded alone: the floor of the first two decoding phases.
struct TSeekBreakdown {
    static constexpr const char* kNames[] = {
        "to the play thread", "reset and send on", "key frame decoded", "waiting for the reader",
        "key frame composed", "regions drawn",     "picture notice"};
    static constexpr int kCount = 7;
    std::vector<double> Phases[kCount];
    std::vector<double> KeyFrameAlone;
    // False when the seek was answered from the buffer.
    bool Add(int64_t request, const TSeekTimes& t, int64_t answered) {
        const int64_t at[] = {request,         t.Taken.load(),    t.Reset.load(), t.KeyFrame.load(),
                              t.DrawTo.load(), t.Composed.load(), t.Drawn.load(), answered};
        if (at[1] < request || at[6] < at[4]) return false;
        for (int i = 0; i < kCount; ++i)
            Phases[i].push_back(static_cast<double>(std::max<int64_t>(at[i + 1] - at[i], 0)) / 1e6);
        return true;
    }
    void Print() const {
        if (Phases[0].empty()) return;
        std::printf("seek breakdown over %zu seeks outside the buffer, median ms:",
                    Phases[0].size());
        for (int i = 0; i < kCount; ++i)
            std::printf("%s %s %.2f", i ? ";" : "", kNames[i], Percentile(Phases[i], 0.5));
        std::printf("; against the key frame decoded alone %.2f\n", Percentile(KeyFrameAlone, 0.5));
    }
};

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Tells when a position request has been answered.
struct TAnswers : IControlView {
    void PositionAnswered(uint32_t) override { Answered = true; }
    bool Answered = false;
};

// Opens the file through the core with AutoStart off; the window queue is ours.
struct TSession {
    TQueueWindow Window;
    TAnswers View;
    TKivPlayerCore Core{&Window, nullptr, &View};
    explicit TSession(const std::string& path) {
        Core.SetAutoStart(false);
        Core.Open(path);
        TMessage m;
        while (Core.PlayState() == vpOpening) {
            Window.Queue.Get(m);
            Core.HandleMessage(m);
        }
        if (Core.PlayState() != vpOpened) {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            std::exit(1);
        }
    }
};

// The real clock, noting how late each sample is drawn.
class TProbeClock : public TRealClock {
public:
    void Drawn(uint32_t, int32_t lateMs) override {
        std::lock_guard guard(Lock);
        Lateness.push_back(lateMs);
    }
    std::mutex Lock;
    std::vector<double> Lateness; // guarded by Lock
};

int Timing(int seconds) {
    synth::TSynthOptions o;
    o.Seconds = static_cast<uint32_t>(seconds);
    const std::string path = TempFile("kiv_timing_");
    synth::WriteSynthRecording(path, o);
    auto clock = std::make_shared<TProbeClock>();
    TKivPlayerCore::TOptions options;
    options.Clock = clock;
    TQueueWindow window;
    TKivPlayerCore core(&window, nullptr, nullptr, nullptr, std::move(options));
    core.SetAutoStart(true);
    core.Open(path);
    const auto end = Clock::now() + std::chrono::seconds(seconds + 2);
    TMessage m;
    while (Clock::now() < end)
        if (window.Queue.WaitFor(50) && window.Queue.TryGet(m)) core.HandleMessage(m);
    core.Close();
    std::lock_guard guard(clock->Lock);
    std::printf("timing: %zu samples drawn at 1x; lateness median %.0f ms, p99 %.0f ms, "
                "max %.0f ms (goal: median <= 1 ms, p99 <= 5 ms, max <= 4 ms)\n",
                clock->Lateness.size(), Percentile(clock->Lateness, 0.5),
                Percentile(clock->Lateness, 0.99), Percentile(clock->Lateness, 1.0));
    std::remove(path.c_str());
    return 0;
}

int Sparse(int seconds) {
    const std::string path = TempFile("kiv_sparse_");
    {
        synth::TRecordingWriter w(path, 640, 480);
        synth::TPicture screen = synth::RenderScreen(640, 480, 1, 0);
        synth::TPayloadEncoder enc;
        TSampleHeader h{};
        h.Kind = skKeyFrame;
        w.AddSample(h, enc.Encode(screen, synth::TRect{0, 0, 640, 480}, ckZlib));
        for (uint32_t t = 2000; t <= static_cast<uint32_t>(seconds + 4) * 1000; t += 2000) {
            h.TimeStamp = t;
            h.Kind = skReplacement;
            h.Left = static_cast<uint16_t>(t / 100 % 500);
            w.AddSample(h, enc.Encode(screen, synth::TRect{0, 0, 64, 64}, ckRaw));
        }
        w.Finish();
    }
    TSession s(path);
    s.Core.Play();
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    const auto end = t0 + std::chrono::seconds(seconds);
    TMessage m;
    while (Clock::now() < end)
        if (s.Window.Queue.WaitFor(100)) s.Window.Queue.TryGet(m);
    const double cpu = CpuSeconds() - cpu0;
    const double wall = Ms(Clock::now() - t0) / 1000;
    std::printf("sparse: %.1f s played, CPU %.3f s = %.3f %% of one core (goal: under 1 %%)\n",
                wall, cpu, 100 * cpu / wall);
    std::remove(path.c_str());
    return 0;
}

// The player opens address (the file itself, or the same file from a web server);
// the reference decoding reads the file.
int Seek(const std::string& path, int count, const std::string& address) {
    TSession s(address);
    InitDecoder();
    const uint32_t duration = s.Core.Duration();
    std::mt19937 rng(42);
    std::vector<double> seekMs, decodeMs;
    TSeekBreakdown breakdown;
    auto image = std::make_unique_for_overwrite<uint8_t[]>(kDecodeBufferSize);
    for (int i = 0; i < count; ++i) {
        const uint32_t target = std::uniform_int_distribution<uint32_t>(0, duration)(rng);

        // The samples from the key frame to the target, read into memory.
        TFileStream stream(path);
        TOpenedRecording r = OpenRecording(stream);
        uint32_t offset = 0;
        for (const auto& e : r.Entries)
            if (e.TimeStamp <= target) offset = e.Offset;
        stream.Seek(32 + offset, soBeginning);
        std::vector<std::vector<uint8_t>> samples;
        TRecordingWalker walker(stream, r.Header);
        struct TStop {};
        try {
            walker.Run([&](TSampleBlock b) {
                if (SampleTimeStamp(b.get()) > target) throw TStop{};
                samples.emplace_back(b.get(), b.get() + SampleRecordSize(b.get()));
            });
        } catch (const TStop&) {
        }
        if (samples.empty()) continue;
        const uint32_t shown = SampleTimeStamp(samples.back().data());

        // Answered when the picture of the sample at or before the target is posted.
        const auto t0 = Clock::now();
        const int64_t requested = NowNs();
        s.View.Answered = false;
        s.Core.SetCurrentPosition(static_cast<int32_t>(target));
        int32_t position = -1;
        while (!s.View.Answered) {
            TMessage m;
            s.Window.Queue.Get(m);
            s.Core.HandleMessage(m);
            if (m.Msg == WM_PICTURECHANGED && s.Core.GetCurrentPosition(&position) == S_OK &&
                static_cast<uint32_t>(position) == shown)
                break;
        }
        seekMs.push_back(Ms(Clock::now() - t0));
        const int64_t answered = NowNs();
        // Let the reading thread finish its read-ahead before the next request.
        while (!TKivPlayerCoreProbe::Quiet(s.Core)) {
            TMessage m;
            if (s.Window.Queue.WaitFor(5) && s.Window.Queue.TryGet(m)) s.Core.HandleMessage(m);
        }
        const bool outside =
            breakdown.Add(requested, TKivPlayerCoreProbe::SeekTimes(s.Core), answered);

        const auto d0 = Clock::now();
        for (const auto& b : samples) {
            TSampleHeader h = ParseSampleHeader(b.data());
            if (h.Length)
                UnZipBuffer(b.data() + 28, h.Length, static_cast<int16_t>(h.Compression),
                            image.get(), kDecodeBufferSize);
            if (outside && &b == &samples.front())
                breakdown.KeyFrameAlone.push_back(Ms(Clock::now() - d0));
        }
        decodeMs.push_back(Ms(Clock::now() - d0));
    }
    std::vector<double> ratios;
    for (size_t i = 0; i < seekMs.size(); ++i)
        if (decodeMs[i] > 0) ratios.push_back(seekMs[i] / decodeMs[i]);
    const double seekMedian = Percentile(seekMs, 0.5), decodeMedian = Percentile(decodeMs, 0.5);
    std::printf(
        "seek: %d random seeks; request to picture median %.1f ms (p90 %.1f); "
        "decoding alone median %.1f ms (p90 %.1f); ratio of medians %.2f, median ratio %.2f "
        "(goal: at most 1.2)\n",
        count, seekMedian, Percentile(seekMs, 0.9), decodeMedian, Percentile(decodeMs, 0.9),
        decodeMedian > 0 ? seekMedian / decodeMedian : 0.0, Percentile(ratios, 0.5));
    breakdown.Print();
    UninitDecoder();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    TunePlayerHeap(); // as the player does
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "timing") return Timing(argc > 2 ? std::atoi(argv[2]) : 20);
    if (mode == "sparse") return Sparse(argc > 2 ? std::atoi(argv[2]) : 10);
    if (mode == "seek" && argc > 2)
        return Seek(argv[2], argc > 3 ? std::atoi(argv[3]) : 30, argc > 4 ? argv[4] : argv[2]);
    std::fprintf(stderr,
                 "usage: bench_playback timing [S] | sparse [S] | seek FILE [COUNT [ADDRESS]]\n");
    return 2;
}
