// Arbitrary bytes as a recording file, opened and played to its end through the
// control core with a virtual clock: every sample is decoded and composed onto the
// back buffer, damaged ones passed over. Bounded: a run that neither ends nor
// fails within two seconds is a finding.
#include "control/kiv_player_core.h"
#include "platform/kiv_messages.h"
#include "playback/play_clock.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

struct TEnd : kiv::IControlView {
    void PlayedToEnd() override { Ended = true; }
    bool Ended = false;
};

std::string FilePath() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/kiv_fuzz_play_" + std::to_string(getpid()) +
           ".kiv";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = FilePath();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    kiv::TQueueWindow window;
    TEnd view;
    kiv::TKivPlayerCore::TOptions options;
    options.RetryFailedOpens = false;
    options.Clock = std::make_shared<kiv::TVirtualClock>();
    kiv::TKivPlayerCore core(&window, nullptr, &view, nullptr, std::move(options));
    core.Open(path);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    bool played = false;
    while (!view.Ended && core.PlayState() != kiv::vpClosed) {
        if (!played && core.PlayState() == kiv::vpPlaying) played = true;
        kiv::TMessage m;
        if (window.Queue.TryGet(m)) {
            core.HandleMessage(m);
            continue;
        }
        if (!window.Queue.WaitUntil(deadline)) {
            if (played) std::abort(); // playing stalled
            break;
        }
    }
    core.Picture().Read([](const kiv::TBitmap24&) {});
    return 0;
}
