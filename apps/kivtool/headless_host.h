// The control core hosted without a window: its notices go to a queue that
// this host pumps on the calling thread.
#pragma once

#include "control/kiv_player_core.h"
#include "control/record_reader.h"
#include "platform/window_target.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kivtool {

class THeadlessHost : public kiv::IControlView,
                      public kiv::IKivPlayerEvents,
                      public kiv::IRetryTimer {
public:
    using TClock = std::chrono::steady_clock;

    explicit THeadlessHost(std::shared_ptr<kiv::TPlayClock> clock = nullptr);

    // Opens with AutoStart off and waits for the result, giving up as a reader
    // gives up a stalled source. 0 or the failure code (after printing the
    // failure line).
    int Open(const std::string& address);
    // Handles notices until `done` holds (true) or the deadline passes (false).
    bool PumpUntil(const std::function<bool()>& done, TClock::time_point deadline);
    // The same, giving up when nothing came for idleMs: no notice (unless
    // notices do not count) and no byte from the source.
    bool PumpWhileActive(const std::function<bool()>& done, int64_t idleMs = kiv::kStalledSourceMs,
                         bool noticesCount = true);
    // Writes the picture: 0, 1 when the file cannot be written, 2 when no key
    // frame was composed (`what` says what did not get that far).
    int WritePicture(const std::string& path, const std::string& what);

    kiv::TKivPlayerCore& Core() { return *FCore; }
    // The source went away (a broken live stream is closed before it reopens).
    bool Lost() const { return FCore->PlayState() == kiv::vpClosed; }

    // What the core has told so far.
    bool Answered = false, Ended = false, Held = false, Scanned = false;
    std::function<void(int32_t)> PositionChanged;

    void OnPositionChanged(int32_t ms) override {
        if (PositionChanged) PositionChanged(ms);
    }
    void PositionAnswered(uint32_t) override { Answered = true; }
    void PlayedToEnd() override { Ended = true; }
    void ClockHeld(uint32_t) override { Held = true; }
    void ActivityScanned() override { Scanned = true; }
    void OpenFailed(int code, const std::string& text) override {
        FFailedCode = code;
        FFailedText = text;
    }
    void ShowError(const std::string& text, kiv::TFailureKind) override;
    void Start(uint32_t delayMs, std::function<void()> elapsed) override;
    void Cancel() override { FRetryAt.reset(); }

private:
    kiv::TQueueWindow FWindow;
    std::unique_ptr<kiv::TKivPlayerCore> FCore;
    int FFailedCode = 0;
    std::string FFailedText;
    std::optional<TClock::time_point> FRetryAt; // the pump's thread
    std::function<void()> FRetryElapsed;        // the pump's thread
};

} // namespace kivtool
