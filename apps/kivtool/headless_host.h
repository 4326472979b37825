// The control core hosted without a window: its notices go to a queue that
// this host pumps on the calling thread.
#pragma once

#include "control/kiv_player_core.h"
#include "platform/window_target.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kivtool {

constexpr uint32_t WM_HOST_WAKE = kiv::WM_USER + 300; // posted by hooks to wake the pump

class THeadlessHost : public kiv::IControlView,
                      public kiv::IKivPlayerEvents,
                      public kiv::IRetryTimer {
public:
    explicit THeadlessHost(std::shared_ptr<kiv::TPlayClock> clock = nullptr);

    // Opens with AutoStart off and waits for the result. 0 or the failure code
    // (after printing the failure line).
    int Open(const std::string& address);
    // Handles notices until `done` holds or the queue stays empty for `idleMs`;
    // false when time ran out.
    bool PumpUntil(const std::function<bool()>& done, int64_t timeoutMs);
    // The play thread and the reading thread have both gone quiet.
    bool Settled();

    kiv::TKivPlayerCore& Core() { return *FCore; }
    kiv::TQueueWindow& Window() { return FWindow; }

    // Hooks for commands.
    std::function<void(int32_t)> PositionChanged;
    std::function<void(const kiv::TRect&)> PictureChangedHook;

    void OnPlayStateChanged(kiv::TStatus) override {}
    void OnPositionChanged(int32_t ms) override {
        if (PositionChanged) PositionChanged(ms);
    }
    void PictureChanged(const kiv::TRect& r) override {
        if (PictureChangedHook) PictureChangedHook(r);
    }
    void OpenFailed(int code, const std::string& text) override {
        FFailedCode = code;
        FFailedText = text;
    }
    void ShowError(const std::string& text) override;
    void Start(uint32_t delayMs) override;
    void Cancel() override { FRetryAt.reset(); }

private:
    kiv::TQueueWindow FWindow;
    std::unique_ptr<kiv::TKivPlayerCore> FCore;
    int FFailedCode = 0;
    std::string FFailedText;
    std::optional<std::chrono::steady_clock::time_point> FRetryAt; // the pump's thread
};

} // namespace kivtool
