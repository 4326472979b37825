// Seek slider previews: the time from a hover request to its preview being
// ready, over many random times of a recording.
//   bench_preview ADDRESS DURATION_MS [COUNT]
#include "preview/preview_reader.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

struct TWait {
    std::mutex Lock;
    std::condition_variable Came;
    uint64_t Answered = 0; // guarded by Lock
    bool Picture = false;  // guarded by Lock
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1,
                      static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_preview ADDRESS DURATION_MS [COUNT]\n");
        return 2;
    }
    const std::string address = argv[1];
    const auto duration = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    const int count = argc > 3 ? std::atoi(argv[3]) : 300;
    TWait wait;
    kiv::TPreviewReader reader([&](const kiv::TPreview& p) {
        std::lock_guard guard(wait.Lock);
        wait.Answered = p.Request;
        wait.Picture = p.Picture != nullptr;
        wait.Came.notify_all();
    });
    auto ask = [&](uint32_t ms) {
        const auto t0 = TClock::now();
        const uint64_t n = reader.Request(ms);
        std::unique_lock guard(wait.Lock);
        if (!wait.Came.wait_for(guard, std::chrono::seconds(30),
                                [&] { return wait.Answered >= n; }) ||
            !wait.Picture) {
            std::fprintf(stderr, "bench_preview: no picture for %u ms\n", ms);
            std::exit(1);
        }
        return std::chrono::duration<double, std::milli>(TClock::now() - t0).count();
    };

    const auto o0 = TClock::now();
    reader.SetAddress(address);
    const double first = ask(duration / 2); // opening: the header and the index
    const double open = std::chrono::duration<double, std::milli>(TClock::now() - o0).count();

    std::mt19937 rng(20261209);
    std::uniform_int_distribution<uint32_t> at(0, duration);
    std::vector<double> all, decoded;
    for (int i = 0; i < count; ++i) {
        const uint64_t before = reader.Decoded();
        const double ms = ask(at(rng));
        all.push_back(ms);
        if (reader.Decoded() > before) decoded.push_back(ms);
    }
    std::printf("preview %s: first (with opening) %.1f ms, %d hovers: median %.1f ms, p99 %.1f ms, "
                "max %.1f ms; %zu decoded (median %.1f ms, p99 %.1f ms), %llu from the cache "
                "(goal: median under 100 ms)\n",
                address.c_str(), std::max(first, open), count, Percentile(all, 0.5),
                Percentile(all, 0.99), Percentile(all, 1.0), decoded.size(),
                Percentile(decoded, 0.5), Percentile(decoded, 0.99),
                static_cast<unsigned long long>(reader.CacheHits()));
    return 0;
}
