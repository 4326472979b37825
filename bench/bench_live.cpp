// Live latency: from the server sending a sample to the picture notice after it
// was composed, over loopback, at a realistic rate.
//   bench_live [SECONDS] [WIDTH HEIGHT]
#include "control/kiv_player_core.h"
#include "live_server.h"
#include "platform/kiv_messages.h"
#include "playback/play_clock.h"
#include "synth/synth.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <unistd.h>

using namespace kiv;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    synth::TSynthOptions o;
    o.Seconds = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 20;
    o.Width = argc > 3 ? static_cast<uint16_t>(std::atoi(argv[2])) : 1920;
    o.Height = argc > 3 ? static_cast<uint16_t>(std::atoi(argv[3])) : 1080;
    const std::string path = "/tmp/kiv_live_bench_" + std::to_string(getpid()) + ".kiv";
    synth::WriteSynthRecording(path, o);

    std::mutex lock;
    std::map<uint32_t, Clock::time_point> sent; // guarded by lock
    serve::TServeOptions so;
    so.Port = 0;
    so.Loop = false;
    serve::TLiveServer server(serve::TLiveServer::LoadRecording(path), so);
    server.OnSent = [&](uint32_t t, Clock::time_point at) {
        std::lock_guard guard(lock);
        sent.emplace(t, at);
    };
    std::remove(path.c_str());

    TQueueWindow window;
    TKivPlayerCore core(&window);
    core.Open("KIVS://127.0.0.1:" + std::to_string(server.Port()) + "/bench");
    std::vector<double> latency;
    const auto end = Clock::now() + std::chrono::seconds(o.Seconds + 3);
    while (Clock::now() < end) {
        TMessage m;
        if (!window.Queue.WaitFor(50) || !window.Queue.TryGet(m)) continue;
        core.HandleMessage(m);
        int32_t position = 0;
        if (m.Msg != WM_PICTURECHANGED || core.GetCurrentPosition(&position) != S_OK) continue;
        const auto now = Clock::now();
        const auto t = static_cast<uint32_t>(position);
        std::lock_guard guard(lock);
        auto it = sent.find(t);
        if (it != sent.end()) {
            latency.push_back(std::chrono::duration<double, std::milli>(now - it->second).count());
            sent.erase(sent.begin(), std::next(it));
        }
    }
    core.Close();
    std::sort(latency.begin(), latency.end());
    auto at = [&](double p) {
        return latency.empty()
                   ? 0.0
                   : latency[std::min(latency.size() - 1, static_cast<size_t>(p * latency.size()))];
    };
    std::printf("live: %zu samples at %ux%u; send to picture median %.1f ms, p99 %.1f ms\n",
                latency.size(), o.Width, o.Height, at(0.5), at(0.99));
    return 0;
}
