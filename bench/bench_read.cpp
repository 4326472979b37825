// Reading a large recording through the reading thread: one full pass from the
// page cache and from a web server, against plain reads of the file; and the
// time from a seek to the play thread being told which sample to show.
//
// KIV_BENCH_RECORDING names the recording, KIV_BENCH_URL the same file on a web
// server (bench/run_read_bench.sh sets both up). Without a recording a 64 MiB one
// is made for the run; without a URL the web-server cases are skipped.
#include "buffers/play_context.h"
#include "net/internet_stream.h"
#include "platform/window_target.h"
#include "sources/fill_thread.h"
#include "platform/kiv_messages.h"
#include "synth/synth.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace kiv;
using Clock = std::chrono::steady_clock;

constexpr int64_t kWaitMs = 120000;

struct TInputs {
    std::string Path, Url;
    std::string Made; // removed at exit
    ~TInputs() {
        if (!Made.empty()) std::remove(Made.c_str());
    }
};

const TInputs& Inputs() {
    static TInputs in = [] {
        TInputs i;
        const char* path = std::getenv("KIV_BENCH_RECORDING");
        const char* url = std::getenv("KIV_BENCH_URL");
        if (url) i.Url = url;
        if (path && *path) {
            i.Path = path;
        } else {
            const char* tmp = std::getenv("TMPDIR");
            i.Path = i.Made = std::string(tmp && *tmp ? tmp : "/tmp") + "/kiv-bench-read-" +
                              std::to_string(getpid()) + ".kiv";
            synth::TSynthOptions o;
            o.TargetMegabytes = 64;
            synth::WriteSynthRecording(i.Path, o);
        }
        return i;
    }();
    return in;
}

// The reading thread with its stream's request count in view.
class TCountingFill : public TFillThread {
public:
    using TFillThread::TFillThread;
    // Read only while the thread waits for a request.
    uint64_t Requests() const { return FHttp ? FHttp->Requests() : 0; }
};

// A host that plays the control and the play thread.
class TReader {
public:
    explicit TReader(const std::string& address) {
        FContext.Window = &FWindow;
        FContext.PlayThread = &FPlay;
        FFill = std::make_unique<TCountingFill>(&FContext);
        FFill->Start();
        FFill->Open(address);
        TMessage m;
        Ok = Next(FWindow, WM_OPENRESULT, m) && m.WParam == 0;
    }
    ~TReader() {
        FFill->Destroy();
        FContext.Frames.Clear();
    }

    // Reads the sample area from the start to its end, trimming behind itself as
    // the play thread does. Returns the record bytes delivered.
    uint64_t ReadAll(uint64_t& passes) {
        FFill->Reset();
        auto& frames = FContext.Frames;
        uint64_t bytes = 0;
        int32_t held = 0;
        while (!FFill->Exhausted() && !FFill->Damaged()) {
            const uint64_t seen = FFill->Passes();
            FFill->Fill(-1);
            if (!FFill->WaitPass(seen, kWaitMs)) break;
            ++passes;
            const int32_t count = frames.Count();
            if (count == held) break; // the source stopped delivering
            for (int32_t i = held; i < count; ++i)
                bytes += SampleRecordSize(frames.Sample(i));
            int32_t index = count - 1;
            frames.DropBeforeKeyFrame(index);
            held = index + 1;
        }
        return bytes;
    }

    // Milliseconds from the seek to WM_DRAWTO, or a negative value when none came.
    double Seek(int32_t target) {
        FFill->Reset();
        TMessage m;
        while (FPlay.Queue.TryGet(m)) {
        }
        const auto start = Clock::now();
        FFill->Seek(target);
        if (!Next(FPlay, WM_DRAWTO, m)) return -1;
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }

    // Ends the pass a seek left running.
    void Rewind() { FFill->Reset(); }

    uint32_t Duration() const { return FContext.Header.Duration; }
    uint64_t SampleArea() const { return FContext.Header.HeaderPosition; }
    uint64_t Requests() const { return FFill->Requests(); }

    bool Ok = false;

private:
    static bool Next(TQueueWindow& q, uint32_t msg, TMessage& out) {
        for (;;) {
            if (!q.Queue.WaitFor(kWaitMs)) return false;
            if (q.Queue.TryGet(out) && out.Msg == msg) return true;
        }
    }

    TPlayContext FContext;
    TQueueWindow FWindow, FPlay;
    std::unique_ptr<TCountingFill> FFill;
};

std::string Address(benchmark::State& state, bool http) {
    const auto& in = Inputs();
    if (http && in.Url.empty()) state.SkipWithError("KIV_BENCH_URL is not set");
    return http ? in.Url : in.Path;
}

// The file read front to back with plain reads of the given size, as cat does.
void BM_PlainRead(benchmark::State& state) {
    const int fd = ::open(Inputs().Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open the recording");
        return;
    }
    std::vector<char> buf(static_cast<size_t>(state.range(0)));
    uint64_t bytes = 0;
    for (auto _ : state) {
        ::lseek(fd, 0, SEEK_SET);
        for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0;)
            bytes += static_cast<uint64_t>(n);
        benchmark::DoNotOptimize(buf.data());
    }
    ::close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_PlainRead)
    ->Arg(32 * 1024)
    ->Arg(128 * 1024)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_FullPass(benchmark::State& state, bool http) {
    const std::string address = Address(state, http);
    if (address.empty()) return;
    TReader reader(address);
    if (!reader.Ok) {
        state.SkipWithError("the recording does not open");
        return;
    }
    uint64_t bytes = 0, passes = 0, requests = 0;
    for (auto _ : state) {
        const uint64_t before = reader.Requests();
        const uint64_t got = reader.ReadAll(passes);
        requests += reader.Requests() - before;
        if (got < reader.SampleArea() / 2) {
            state.SkipWithError("the pass stopped early");
            return;
        }
        bytes += got;
    }
    const double n = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["MB"] = static_cast<double>(bytes) / n / 1e6;
    state.counters["fills"] = static_cast<double>(passes) / n;
    state.counters["requests"] = static_cast<double>(requests) / n;
}
BENCHMARK_CAPTURE(BM_FullPass, disk, false)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_FullPass, http, true)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SeekLatency(benchmark::State& state, bool http) {
    const std::string address = Address(state, http);
    if (address.empty()) return;
    TReader reader(address);
    if (!reader.Ok) {
        state.SkipWithError("the recording does not open");
        return;
    }
    std::mt19937 rng(20240607);
    std::vector<double> times;
    const uint64_t before = reader.Requests();
    for (auto _ : state) {
        const auto target = static_cast<int32_t>(rng() % (reader.Duration() + 1));
        const double ms = reader.Seek(target);
        if (ms < 0) {
            state.SkipWithError("no WM_DRAWTO");
            return;
        }
        times.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    reader.Rewind();
    std::sort(times.begin(), times.end());
    auto at = [&](double q) { return times[static_cast<size_t>(q * (times.size() - 1))]; };
    state.counters["p50_ms"] = at(0.5);
    state.counters["p90_ms"] = at(0.9);
    state.counters["max_ms"] = times.back();
    // Includes the reading each seek's pass did after its target, until interrupted.
    state.counters["requests"] =
        static_cast<double>(reader.Requests() - before) / static_cast<double>(times.size());
}
BENCHMARK_CAPTURE(BM_SeekLatency, disk, false)
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SeekLatency, http, true)
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
