// snapshot: the picture the control would show at a time.
#include "commands.h"
#include "headless_host.h"
#include "platform/parse.h"

#include <cstdio>

namespace kivtool {

using namespace kiv;

namespace {

bool ParseMs(const std::string& text, uint32_t& ms) {
    uint64_t v = 0;
    if (!ParseDecimal(text, 0x7FFFFFFF, v)) return false;
    ms = static_cast<uint32_t>(v);
    return true;
}

int Usage() {
    std::fprintf(stderr, "usage: kivtool snapshot [--play] ADDRESS MS OUT\n");
    return kUsageExit;
}

} // namespace

int CmdSnapshot(const TArgs& args) {
    TArgs rest;
    bool play = false;
    for (const auto& a : args) {
        if (a == "--play")
            play = true;
        else
            rest.push_back(a);
    }
    uint32_t ms = 0;
    if (rest.size() != 3 || !ParseMs(rest[1], ms)) return Usage();

    // Played: the virtual clock holds before the first sample past MS.
    THeadlessHost host(play ? MakeVirtualClock(ms) : nullptr);
    if (int code = host.Open(rest[0])) return code;
    TKivPlayerCore& core = host.Core();
    bool done = false;
    if (play) {
        core.Play();
        done = host.PumpWhileActive([&] { return host.Held || host.Ended || host.Lost(); });
    } else {
        core.SetCurrentPosition(static_cast<int32_t>(ms));
        done = host.PumpWhileActive([&] { return host.Answered || host.Lost(); });
    }
    if (!done) {
        std::fprintf(stderr, "kivtool: the source stopped delivering\n");
        return 1;
    }
    if (host.Lost()) {
        std::fprintf(stderr, "kivtool: the source was lost\n");
        return 2;
    }
    return host.WritePicture(rest[2], " before " + std::to_string(ms) + " ms");
}

} // namespace kivtool
