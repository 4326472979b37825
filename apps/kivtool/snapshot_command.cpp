// snapshot: the picture the control would show at a time.
#include "commands.h"
#include "headless_host.h"
#include "picture_file.h"
#include "platform/parse.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

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

    std::shared_ptr<TPlayClock> clock;
    THeadlessHost* hostRef = nullptr;
    if (play) {
        // Holds before the first sample past MS and wakes the pump.
        clock = std::make_shared<TVirtualClock>(
            ms, [&hostRef] { hostRef->Window().Post(WM_HOST_WAKE, 0, 0); });
    }
    THeadlessHost host(clock);
    hostRef = &host;
    if (int code = host.Open(rest[0])) return code;
    TKivPlayerCore& core = host.Core();

    if (play) {
        bool limit = false;
        core.Play();
        auto& frames = core.Context().Frames;
        host.PumpUntil(
            [&] {
                TMessage m;
                if (host.Window().Queue.Peek(m) && m.Msg == WM_HOST_WAKE) limit = true;
                auto* fill = core.FillThread();
                auto* thread = core.PlayThread();
                // The end of the recording: everything read and drawn.
                return limit || !fill || !thread ||
                       (fill->Exhausted() && !fill->Reading() &&
                        thread->CurrentIndex() + 1 >= frames.Count());
            },
            -1);
    } else {
        core.SetCurrentPosition(static_cast<int32_t>(ms));
        host.PumpUntil([&] { return host.Settled(); }, -1);
    }

    if (!core.PlayThread()) {
        std::fprintf(stderr, "kivtool: the source was lost\n");
        return 2;
    }
    TBackBuffer* back = core.PlayThread()->BackBuffer();
    std::lock_guard guard(back->Lock());
    if (!back->Initialized()) {
        std::fprintf(stderr, "kivtool: no key frame was composed before %u ms\n", ms);
        return 2;
    }
    std::string error;
    if (!WritePicture(back->Picture(), rest[2], error)) {
        std::fprintf(stderr, "kivtool: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace kivtool
