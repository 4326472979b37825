// play: the headless monitor of any source, in real time.
#include "commands.h"
#include "headless_host.h"
#include "picture_file.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kivtool {

using namespace kiv;

int CmdPlay(const TArgs& args) {
    std::string address, snapshot;
    long seconds = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            char* end = nullptr;
            seconds = std::strtol(args[++i].c_str(), &end, 10);
            if (*end || seconds < 0) seconds = -2;
        } else if (args[i] == "--snapshot" && i + 1 < args.size()) {
            snapshot = args[++i];
        } else if (address.empty()) {
            address = args[i];
        } else {
            address.clear();
            break;
        }
    }
    if (address.empty() || seconds == -2) {
        std::fprintf(stderr, "usage: kivtool play ADDRESS [--seconds N] [--snapshot OUT]\n");
        return kUsageExit;
    }

    THeadlessHost host;
    host.PositionChanged = [](int32_t ms) { std::printf("position: %d\n", ms); };
    if (int code = host.Open(address)) return code;
    TKivPlayerCore& core = host.Core();
    core.Play();

    using namespace std::chrono;
    const auto start = steady_clock::now();
    auto nextFigures = start + std::chrono::seconds(1);
    auto& frames = core.Context().Frames;
    bool isFile = false;
    if (TFillThread* fill = core.FillThread())
        isFile = fill->SourceKind() == skLocalFile || fill->SourceKind() == skHttp;
    uint32_t position = 0;
    host.PumpUntil(
        [&] {
            // A live source that broke is reopened: its threads are new ones.
            TFillThread* fill = core.FillThread();
            TPlayThread* thread = core.PlayThread();
            if (thread) position = thread->CurrentPosition();
            auto now = steady_clock::now();
            if (now >= nextFigures) {
                nextFigures += std::chrono::seconds(1);
                std::printf(
                    "buffer: first=%u last=%u samples=%d bytes=%lld kbps=%d\n",
                    frames.FirstTimeStamp(), frames.LastTimeStamp(), frames.Count(),
                    static_cast<long long>(frames.ByteCount() + (fill ? fill->BufferUsed() : 0)),
                    fill ? fill->BitRate() : 0);
                std::fflush(stdout);
            }
            if (seconds >= 0) return now - start >= std::chrono::seconds(seconds);
            return !fill || !thread ||
                   (isFile && fill->Exhausted() && !fill->Reading() &&
                    thread->CurrentIndex() + 1 >= frames.Count());
        },
        -1);
    std::printf("position: %u\n", position);

    if (!snapshot.empty()) {
        if (!core.PlayThread()) {
            std::fprintf(stderr, "kivtool: the source was lost\n");
            return 2;
        }
        TBackBuffer* back = core.PlayThread()->BackBuffer();
        std::lock_guard guard(back->Lock());
        if (!back->Initialized()) {
            std::fprintf(stderr, "kivtool: no key frame was composed\n");
            return 2;
        }
        std::string error;
        if (!WritePicture(back->Picture(), snapshot, error)) {
            std::fprintf(stderr, "kivtool: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace kivtool
