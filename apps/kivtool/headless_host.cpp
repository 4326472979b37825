#include "headless_host.h"

#include "net/address.h"

#include <chrono>
#include <cstdio>

namespace kivtool {

using namespace kiv;

THeadlessHost::THeadlessHost(std::shared_ptr<TPlayClock> clock) {
    TKivPlayerCore::TOptions options;
    options.RetryFailedOpens = false; // a command reports a failure at once
    options.Clock = std::move(clock);
    FCore = std::make_unique<TKivPlayerCore>(&FWindow, this, this, this, options);
}

void THeadlessHost::Start(uint32_t delayMs) {
    FRetryAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
}

void THeadlessHost::ShowError(const std::string& text) {
    if (text != FFailedText) std::fprintf(stderr, "%s\n", text.c_str());
}

int THeadlessHost::Open(const std::string& address) {
    FCore->SetAutoStart(false);
    if (FCore->Open(address) != S_OK) {
        std::fprintf(stderr, "%s\n", GetErrorInfo().c_str());
        return srCannotOpen;
    }
    // A live source that never sends its first key frame is given up.
    PumpUntil([&] { return FCore->PlayState() != vpOpening; }, 30000);
    if (FCore->PlayState() == vpOpened) return 0;
    if (FFailedText.empty()) {
        FFailedCode = srDisconnected;
        FFailedText = SourceFailureMessage(srDisconnected, address);
    }
    std::fprintf(stderr, "%s\n", FFailedText.c_str());
    return FFailedCode ? FFailedCode : srCannotOpen;
}

bool THeadlessHost::PumpUntil(const std::function<bool()>& done, int64_t timeoutMs) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    while (!done()) {
        if (timeoutMs >= 0 && steady_clock::now() > deadline) return false;
        if (FRetryAt && steady_clock::now() >= *FRetryAt) {
            FRetryAt.reset();
            FCore->RetryNow();
        }
        TMessage m;
        // The short wait lets `done` look at thread states that post nothing.
        if (!FWindow.Queue.WaitFor(20) || !FWindow.Queue.TryGet(m)) continue;
        FCore->HandleMessage(m);
    }
    return true;
}

bool THeadlessHost::Settled() {
    TPlayThread* play = FCore->PlayThread();
    TFillThread* fill = FCore->FillThread();
    if (!play || !fill) return true;
    // Both idle twice with no message taken in between: neither can wake the other.
    const uint64_t p = play->MessagesTaken(), f = fill->MessagesTaken();
    if (!(play->Idle() && fill->Idle() && play->Idle() && fill->Idle())) return false;
    return p == play->MessagesTaken() && f == fill->MessagesTaken() && FWindow.Queue.Size() == 0;
}

} // namespace kivtool
