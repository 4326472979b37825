// activity and markers: what a recording does when, from its record headers.
#include "commands.h"
#include "headless_host.h"

#include "net/address.h"

#include <cstdio>
#include <string>

namespace kivtool {

using namespace kiv;

namespace {

// Opens address and waits until its activity table is complete: a local file's
// from the scan of its headers, any other's by reading it through (played with
// a clock that never waits). 0 or the exit code.
int Complete(THeadlessHost& host, const std::string& address, const char* name) {
    if (int code = host.Open(address)) return code;
    TKivPlayerCore& core = host.Core();
    if (core.Statistics().Live) {
        std::fprintf(stderr, "kivtool: %s needs a recording, not a live source\n", name);
        return kUsageExit;
    }
    if (IsNetworkAddress(NormalizeAddress(address))) {
        core.Play();
        if (!host.PumpWhileActive([&] { return host.Ended || host.Lost(); })) return 1;
    } else if (!host.PumpWhileActive([&] { return host.Scanned || host.Lost(); })) {
        return 1;
    }
    if (host.Lost()) {
        std::fprintf(stderr, "kivtool: the source was lost\n");
        return 1;
    }
    return 0;
}

int Usage(const char* name) {
    std::fprintf(stderr, "usage: kivtool %s ADDRESS\n", name);
    return kUsageExit;
}

} // namespace

int CmdActivity(const TArgs& args) {
    if (args.size() != 1) return Usage("activity");
    THeadlessHost host(MakeVirtualClock());
    if (int code = Complete(host, args[0], "activity")) return code;
    const TKivPlayerCore& core = host.Core();
    const auto seconds = core.Activity();
    const auto idle = core.IdleStretches();
    size_t next = 0, stretch = 0;
    const uint32_t last = seconds.empty() ? 0 : seconds.back().Second;
    for (uint32_t s = 0; s <= last && !seconds.empty(); ++s) {
        TActivitySecond figures;
        if (next < seconds.size() && seconds[next].Second == s) figures = seconds[next++];
        const uint64_t from = uint64_t{s} * 1000, to = from + 1000;
        while (stretch < idle.size() && idle[stretch].To < to)
            ++stretch;
        const bool quiet =
            stretch < idle.size() && idle[stretch].From <= from && to <= idle[stretch].To;
        std::printf("%u,%llu,%u,%s\n", s, static_cast<unsigned long long>(figures.PictureBytes),
                    figures.PointerSamples, quiet ? "idle" : "active");
    }
    return 0;
}

int CmdMarkers(const TArgs& args) {
    if (args.size() != 1) return Usage("markers");
    THeadlessHost host(MakeVirtualClock());
    if (int code = Complete(host, args[0], "markers")) return code;
    for (TMarker m : host.Core().Markers()) {
        // One line each, whatever the text holds.
        for (char& c : m.Text)
            if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        std::printf("%u,%s\n", m.Time, m.Text.c_str());
    }
    return 0;
}

} // namespace kivtool
