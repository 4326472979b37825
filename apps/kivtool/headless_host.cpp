#include "headless_host.h"

#include "net/address.h"
#include "picture_file.h"

#include <algorithm>
#include <cstdio>

namespace kivtool {

using namespace kiv;

THeadlessHost::THeadlessHost(std::shared_ptr<TPlayClock> clock) {
    TKivPlayerCore::TOptions options;
    options.RetryFailedOpens = false; // a command reports a failure at once
    options.Clock = std::move(clock);
    FCore = std::make_unique<TKivPlayerCore>(&FWindow, this, this, this, std::move(options));
}

void THeadlessHost::Start(uint32_t delayMs, std::function<void()> elapsed) {
    FRetryElapsed = std::move(elapsed);
    FRetryAt = TClock::now() + std::chrono::milliseconds(delayMs);
}

void THeadlessHost::ShowError(const std::string& text, TFailureKind) {
    if (text != FFailedText) std::fprintf(stderr, "%s\n", text.c_str());
}

int THeadlessHost::Open(const std::string& address) {
    FCore->SetAutoStart(false);
    if (FCore->Open(address) != S_OK) {
        std::fprintf(stderr, "%s\n", GetErrorInfo().c_str());
        return srCannotOpen;
    }
    // A live source that never sends its first key frame is given up, a web
    // server still sending the index slowly is not.
    PumpWhileActive([&] { return FCore->PlayState() != vpOpening; }, kStalledSourceMs, false);
    if (FCore->PlayState() == vpOpened) return 0;
    if (FFailedText.empty()) {
        FFailedCode = srDisconnected;
        FFailedText = SourceFailureMessage(srDisconnected, address);
    }
    std::fprintf(stderr, "%s\n", FFailedText.c_str());
    return FFailedCode ? FFailedCode : srCannotOpen;
}

bool THeadlessHost::PumpUntil(const std::function<bool()>& done, TClock::time_point deadline) {
    while (!done()) {
        if (FRetryAt && TClock::now() >= *FRetryAt) {
            FRetryAt.reset();
            FRetryElapsed();
            continue;
        }
        TMessage m;
        if (FWindow.Queue.TryGet(m)) {
            FCore->HandleMessage(m);
            continue;
        }
        if (TClock::now() >= deadline) return false;
        FWindow.Queue.WaitUntil(FRetryAt ? std::min(deadline, *FRetryAt) : deadline);
    }
    return true;
}

bool THeadlessHost::PumpWhileActive(const std::function<bool()>& done, int64_t idleMs,
                                    bool noticesCount) {
    const std::chrono::milliseconds idle(idleMs);
    for (auto until = TClock::now() + idle;;) {
        const uint64_t taken = FWindow.Queue.Taken();
        if (PumpUntil(done, until)) return true;
        const auto now = TClock::now();
        if (noticesCount && (FWindow.Queue.Taken() != taken || FRetryAt)) {
            until = now + idle;
            continue;
        }
        // Bytes still coming in, however slowly, keep it going until idleMs after the last.
        const TStatistics s = FCore->Statistics();
        const std::chrono::milliseconds quiet(s.Reading ? int64_t{s.QuietMs} : idleMs);
        if (quiet >= idle) return false;
        until = now + (idle - quiet);
    }
}

int THeadlessHost::WritePicture(const std::string& path, const std::string& what) {
    std::string error;
    bool written = false, empty = false;
    const bool composed = FCore->Picture().Read([&](const TBitmap24& picture) {
        // A picture of no pixels is no picture: nothing is written for it.
        empty = picture.IsEmpty();
        if (!empty) written = kivtool::WritePicture(picture, path, error);
    });
    if (!composed || empty) {
        std::fprintf(stderr, "kivtool: no key frame was composed%s\n", what.c_str());
        return 2;
    }
    if (!written) {
        std::fprintf(stderr, "kivtool: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace kivtool
