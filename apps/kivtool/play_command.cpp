// play: the headless monitor of any source, in real time.
#include "commands.h"
#include "headless_host.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace kivtool {

using namespace kiv;

int CmdPlay(const TArgs& args) {
    std::string address, snapshot;
    long seconds = -1;
    double rate = 1;
    bool skipIdle = false, badRate = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            char* end = nullptr;
            seconds = std::strtol(args[++i].c_str(), &end, 10);
            if (*end || seconds < 0) seconds = -2;
        } else if (args[i] == "--snapshot" && i + 1 < args.size()) {
            snapshot = args[++i];
        } else if (args[i] == "--rate" && i + 1 < args.size()) {
            char* end = nullptr;
            rate = std::strtod(args[++i].c_str(), &end);
            badRate = *end || !(rate >= 0.25 && rate <= 16);
        } else if (args[i] == "--skip-idle") {
            skipIdle = true;
        } else if (address.empty()) {
            address = args[i];
        } else {
            address.clear();
            break;
        }
    }
    if (address.empty() || seconds == -2 || badRate) {
        std::fprintf(stderr, "usage: kivtool play ADDRESS [--seconds N] [--snapshot OUT] "
                             "[--rate R] [--skip-idle]   (R from 0.25 to 16)\n");
        return kUsageExit;
    }

    THeadlessHost host;
    host.PositionChanged = [](int32_t ms) { std::printf("position: %d\n", ms); };
    if (int code = host.Open(address)) return code;
    TKivPlayerCore& core = host.Core();
    core.SetRate(rate);
    core.SetSkipIdle(skipIdle);
    core.Play();

    using TClock = THeadlessHost::TClock;
    const auto end =
        seconds >= 0 ? TClock::now() + std::chrono::seconds(seconds) : TClock::time_point::max();
    // For N seconds; without N a file to its end, a live source (which reopens when
    // it breaks) until it is gone.
    auto finished = [&] { return seconds < 0 && (host.Ended || host.Lost()); };
    for (auto figures = TClock::now() + std::chrono::seconds(1);;
         figures += std::chrono::seconds(1)) {
        if (host.PumpUntil(finished, std::min(figures, end)) || TClock::now() >= end) break;
        const TStatistics s = core.Statistics();
        std::printf("buffer: first=%u last=%u samples=%d bytes=%llu kbps=%d skipped=%u\n",
                    s.FirstTimeStamp, s.LastTimeStamp, s.Samples,
                    static_cast<unsigned long long>(s.Bytes), s.BitRate, s.Skipped);
        std::fflush(stdout);
    }
    int32_t position = 0;
    core.GetCurrentPosition(&position);
    std::printf("position: %d\n", position);

    if (snapshot.empty()) return 0;
    if (host.Lost()) {
        std::fprintf(stderr, "kivtool: the source was lost\n");
        return 2;
    }
    return host.WritePicture(snapshot, "");
}

} // namespace kivtool
