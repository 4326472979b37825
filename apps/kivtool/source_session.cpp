#include "source_session.h"

#include "codec/kivdecoder.h"
#include "net/address.h"
#include "platform/cache_folder.h"
#include "platform/kiv_messages.h"
#include "sources/reading_threads.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace kivtool {

using namespace kiv;

TSourceSession::TSourceSession() {
    FContext.Window = &FWindow;
    InitDecoder(); // live sources decode their first key frame
}

TSourceSession::~TSourceSession() {
    if (FFill) FFill->Destroy();
    FContext.Frames.Clear();
    UninitDecoder();
}

int TSourceSession::Open(const std::string& address) {
    FAddress = NormalizeAddress(address);
    TReadingSource source;
    try {
        source = NewReadingThread(FAddress, &FContext, MakeCacheFolder());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return srCannotOpen;
    }
    FFill = std::move(source.Thread);
    FContext.FillThread = FFill.get();
    FFill->Start();
    FFill->Open(source.Name);
    // A live source answers once its first key frame came; one that breaks
    // before that asks for a reconnect instead, and one that never sends a key
    // frame is given up after a while.
    constexpr int64_t kOpenLimitMs = 30000;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kOpenLimitMs);
    int code = srDisconnected;
    TMessage m;
    while (FWindow.Queue.WaitUntil(deadline) && FWindow.Queue.TryGet(m)) {
        if (m.LParam != FFill->Tag()) continue;
        if (m.Msg == WM_OPENRESULT) {
            code = static_cast<int>(m.WParam);
            break;
        }
        if (m.Msg == WM_RECONNECT) break;
    }
    if (code != srOk) std::fprintf(stderr, "%s\n", SourceFailureMessage(code, FAddress).c_str());
    return code;
}

bool TSourceSession::ReadAll(const std::function<void(const uint8_t* record)>& consume) {
    using namespace std::chrono;
    // A source that delivers nothing for this long has stopped.
    constexpr auto kGiveUp = seconds(20);
    auto& frames = FContext.Frames;
    int32_t held = 0; // buffered samples already handed on
    uint64_t delivered = 0;
    auto lastProgress = steady_clock::now();
    auto backoff = milliseconds(50);
    for (;;) {
        const uint64_t seen = FFill->Passes();
        FFill->Fill(-1);
        FFill->WaitPass(seen, 120000);
        const int32_t count = frames.Count();
        for (int32_t i = held; i < count; ++i)
            consume(frames.Sample(i));
        const bool progress = count > held;
        delivered += static_cast<uint64_t>(count - held);
        held = count;
        if (FFill->Damaged()) {
            FFailure = "a damaged record follows record " + std::to_string(delivered);
            return false;
        }
        if (FFill->Exhausted()) return true;
        if (progress) {
            lastProgress = steady_clock::now();
            backoff = milliseconds(50);
        } else if (steady_clock::now() - lastProgress > kGiveUp) {
            FFailure =
                "the source stopped delivering after " + std::to_string(delivered) + " records";
            return false;
        } else {
            std::this_thread::sleep_for(backoff);
            backoff = std::min(backoff * 2, milliseconds(2000));
        }
        // Play the part of the play thread: drop what was handed on.
        int32_t index = count - 1;
        if (index > 0) {
            frames.DropBeforeKeyFrame(index);
            held = index + 1;
        }
    }
}

} // namespace kivtool
