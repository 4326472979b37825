// Finding the moment: a rate change while playing and in a gap, lateness at high
// rates, idle skipping's schedule, and building a large file's activity table.
#include "bench_util.h"
#include "control/kiv_player_core.h"
#include "format/activity.h"
#include "format/recording_reader.h"
#include "platform/heap_tuning.h"
#include "platform/kiv_messages.h"
#include "playback/play_clock.h"
#include "synth/synth.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kiv;
using namespace kiv::bench;

namespace {

// The real clock, noting when each sample is drawn and when the thread last
// computed a wait.
class TProbeClock : public TRealClock {
public:
    void Drawn(uint32_t time, int32_t lateMs) override {
        std::lock_guard guard(Lock);
        Draws.push_back({Clock::now(), time, lateMs});
    }
    bool WaitUntil(uint32_t tick, uint32_t sampleTime, const TWaitMessage& wait) override {
        {
            std::lock_guard guard(Lock);
            Waits.push_back(Clock::now());
        }
        return TRealClock::WaitUntil(tick, sampleTime, wait);
    }
    struct TDraw {
        Clock::time_point At;
        uint32_t Time;
        int32_t Late;
    };
    std::mutex Lock;
    std::vector<TDraw> Draws;             // guarded by Lock
    std::vector<Clock::time_point> Waits; // guarded by Lock
};

struct TPlayer {
    TQueueWindow Window;
    std::shared_ptr<TPlayClock> ClockUsed;
    std::unique_ptr<TKivPlayerCore> Core;
    TPlayer(const std::string& path, std::shared_ptr<TPlayClock> clock) : ClockUsed(clock) {
        TKivPlayerCore::TOptions o;
        o.Clock = std::move(clock);
        o.RetryFailedOpens = false;
        Core = std::make_unique<TKivPlayerCore>(&Window, nullptr, nullptr, nullptr, std::move(o));
        Core->SetAutoStart(false);
        Core->Open(path);
        Pump([&] { return Core->PlayState() != vpOpening; }, 30000);
    }
    // Hands notices to the core until done holds or ms pass.
    template <class F> bool Pump(F done, int64_t ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        TMessage m;
        while (!done()) {
            if (Clock::now() >= end) return false;
            if (Window.Queue.WaitUntil(end) && Window.Queue.TryGet(m)) Core->HandleMessage(m);
        }
        return true;
    }
    void PumpFor(int64_t ms) {
        Pump([] { return false; }, ms);
    }
};

std::string Synth(const char* name, synth::TSynthOptions o) {
    const std::string path = TempFile(name);
    synth::WriteSynthRecording(path, o);
    return path;
}

int RateChange() {
    synth::TSynthOptions o;
    o.Seconds = 40;
    o.Width = 1920;
    o.Height = 1080;
    o.MarkerIntervalMs = 15000;
    o.IdleMs = 12000; // a 12 s gap after 15 s
    const std::string path = Synth("kiv_rate_", o);
    auto clock = std::make_shared<TProbeClock>();
    TPlayer p(path, clock);
    p.Core->Play();
    struct TCase {
        const char* Name;
        int64_t At;  // ms of playing before the change
        double Rate; // the new rate
    } cases[] = {{"while samples come", 3000, 2}, {"in a 12 s gap", 8000, 4}};
    for (const auto& c : cases) {
        p.PumpFor(c.At);
        int32_t before = 0;
        p.Core->GetCurrentPosition(&before);
        size_t drawn;
        {
            std::lock_guard guard(clock->Lock);
            drawn = clock->Draws.size();
        }
        const auto changed = Clock::now();
        p.Core->SetRate(c.Rate);
        p.PumpFor(60);
        TProbeClock::TDraw first{};
        Clock::time_point rebased = changed;
        {
            std::lock_guard guard(clock->Lock);
            // The first wait computed after the change is the new clock's.
            for (const auto& w : clock->Waits)
                if (w >= changed) {
                    rebased = w;
                    break;
                }
            if (clock->Draws.size() > drawn) first = clock->Draws[drawn];
        }
        int32_t after = 0;
        p.Core->GetCurrentPosition(&after);
        std::printf("rate change %s (to %gx): the play thread waits on the new clock %.1f ms "
                    "after the change (goal < 20 ms); position %d ms before, %d ms after %s\n",
                    c.Name, c.Rate, Ms(rebased - changed), before, after,
                    first.Time ? ("(first sample drawn on it " +
                                  std::to_string(static_cast<int>(Ms(first.At - changed))) +
                                  " ms after the change)")
                                     .c_str()
                               : "(no sample due yet)");
    }
    p.Core->Close();
    std::remove(path.c_str());
    return 0;
}

int Lateness(double rate, int seconds) {
    synth::TSynthOptions o;
    o.Seconds = static_cast<uint32_t>(seconds * rate + 5);
    o.Width = 1920;
    o.Height = 1080;
    o.IdleMs = 0;
    const std::string path = Synth("kiv_late_", o);
    auto clock = std::make_shared<TProbeClock>();
    TPlayer p(path, clock);
    p.Core->SetRate(rate);
    p.Core->Play();
    p.PumpFor(int64_t{seconds} * 1000);
    int32_t position = 0;
    p.Core->GetCurrentPosition(&position);
    const TStatistics s = p.Core->Statistics();
    p.Core->Close();
    std::vector<double> late;
    {
        std::lock_guard guard(clock->Lock);
        for (const auto& d : clock->Draws)
            late.push_back(d.Late);
    }
    // The clock counts recording time: divided by the rate, the real lateness.
    std::printf("lateness at %gx: %zu samples, real ms median %.1f, p99 %.1f, max %.1f (goal p99 "
                "<= 5 ms); after %d s played to %d ms of %.0f, behind by %u ms\n",
                rate, late.size(), Percentile(late, 0.5) / rate, Percentile(late, 0.99) / rate,
                Percentile(late, 1.0) / rate, seconds, position, rate * seconds * 1000, s.Lag);
    std::remove(path.c_str());
    return 0;
}

int Idle() {
    synth::TSynthOptions o;
    o.Seconds = 1800;
    o.Width = 640;
    o.Height = 400;
    o.MarkerIntervalMs = 90000;
    o.IdleMs = 60000; // 20 stretches of 60 s
    const std::string path = Synth("kiv_idle_", o);
    auto clock = std::make_shared<TVirtualClock>();
    TPlayer p(path, clock);
    p.Pump([&] { return p.Core->Markers().size() >= 20; }, 30000); // the scan
    const auto stretches = p.Core->IdleStretches();
    uint64_t idle = 0;
    for (const auto& s : stretches)
        idle += s.To - s.From;
    p.Core->SetSkipIdle(true);
    bool ended = false;
    const uint32_t start = clock->Now();
    p.Core->Play();
    const uint32_t duration = p.Core->Duration();
    p.Pump(
        [&] {
            int32_t at = 0;
            p.Core->GetCurrentPosition(&at);
            ended = static_cast<uint32_t>(at) >= duration;
            return ended;
        },
        600000);
    const double played = clock->Now() - start;
    const double expected = double(duration - idle) + 500.0 * stretches.size();
    std::printf("idle skipping: %u ms recording with %zu idle stretches (%llu ms): played in %.0f "
                "ms of the clock, active time plus the caps %.0f ms: %+.2f %% (goal within 2 %%)\n",
                duration, stretches.size(), static_cast<unsigned long long>(idle), played, expected,
                100.0 * (played - expected) / expected);
    p.Core->Close();
    std::remove(path.c_str());
    return ended ? 0 : 1;
}

// Counts what a scan reads.
class TCountingFile : public TFileStream {
public:
    using TFileStream::TFileStream;
    int32_t Read(void* buffer, int32_t count) override {
        const int32_t n = TFileStream::Read(buffer, count);
        Bytes += static_cast<uint64_t>(std::max(n, 0));
        return n;
    }
    uint64_t Bytes = 0;
};

int ActivityTable(uint32_t megabytes) {
    synth::TSynthOptions o;
    o.Width = 1920;
    o.Height = 1080;
    o.TargetMegabytes = megabytes;
    const std::string path = Synth("kiv_table_", o);
    for (int run = 0; run < 3; ++run) {
        TCountingFile stream(path);
        const TOpenedRecording opened = OpenRecording(stream);
        stream.Seek(opened.DataStart, soBeginning);
        const uint64_t opening = stream.Bytes;
        std::atomic<bool> abort{false};
        size_t records = 0;
        const auto t0 = Clock::now();
        ScanRecordHeaders(
            stream, opened.Header, [&](const TSampleHeader&, const std::string&) { ++records; },
            abort);
        const double ms = Ms(Clock::now() - t0);
        std::printf("activity table of %u MB (%s): %zu records in %.0f ms (goal < 1000 ms warm), "
                    "%llu bytes read of %lld (headers and markers only)\n",
                    megabytes, run ? "warm" : "first", records, ms,
                    static_cast<unsigned long long>(stream.Bytes - opening),
                    static_cast<long long>(SampleAreaEnd(opened.Header)));
    }
    std::remove(path.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    TunePlayerHeap();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "rate") return RateChange();
    if (mode == "late" && argc > 2)
        return Lateness(std::atof(argv[2]), argc > 3 ? std::atoi(argv[3]) : 10);
    if (mode == "idle") return Idle();
    if (mode == "table") return ActivityTable(argc > 2 ? uint32_t(std::atoi(argv[2])) : 1024);
    std::fprintf(stderr, "usage: bench_navigation rate | late RATE [S] | idle | table [MB]\n");
    return 2;
}
