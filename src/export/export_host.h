// The core hosted for an export: a stepping clock, the threads' notices pumped
// on the calling thread, and the picture kept as an own copy that each stand
// brings up to date; FFrames turns stands into frames with their times.
#pragma once

#include "control/kiv_player_core.h"
#include "export/exporter.h"
#include "platform/bitmap24.h"
#include "platform/window_target.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kiv::exporting {

// Where a picture and its time in the export go, with where it changed since the
// picture emitted before.
using TEmit = std::function<void(const TBitmap24& picture, int64_t ms, const TRect& changed)>;
// The recording position reached and the frames so far.
using TProgress = std::function<void(uint32_t position, uint64_t frames)>;

class TExportHost : public IControlView, public IKivPlayerEvents, public IRetryTimer {
public:
    // The range: from fromMs (-1: the first sample; what comes before is played
    // without frames, so the picture is as playing from the start makes it) to
    // holdAfterMs (-1: the end). Frame times are multiples of granularityMs (the
    // container's tick).
    TExportHost(const TExportOptions& options, TExportCancel& cancel, int64_t fromMs,
                int64_t holdAfterMs, int64_t granularityMs = 1);
    ~TExportHost() override;

    // 0, or the open failure's code with its line in message.
    int Open(std::string& message);
    TKivPlayerCore& Core() { return *FCore; }
    // Waits for the local activity scan (markers, idle stretches); false on a stall.
    bool WaitForActivity();
    // Plays a network recording through for its markers; false on a stall.
    bool ReadThrough();
    // Plays the range, emitting frames; the export's end time in endMs.
    // 0, kExportCancelled, or kExportFailed with message.
    int Play(const TEmit& emit, int64_t& endMs, std::string& message, const TProgress& progress);
    // A picture was composed in the range.
    bool Initialized() const { return !FCopy.IsEmpty() && FFrames > 0; }
    int32_t Width() const { return FCopy.Width(); }
    int32_t Height() const { return FCopy.Height(); }
    uint64_t Frames() const { return FFrames; }

    // IControlView and the rest.
    void PictureChanged(const TRect& r, TDisplayMode, const IPictureSource&) override;
    void PictureStands(uint32_t fromTick, uint32_t untilTick) override;
    void PositionAnswered(uint32_t) override { FAnswered = true; }
    void PlayedToEnd() override { FEnded = true; }
    void ClockHeld(uint32_t) override { FHeld = true; }
    void ActivityScanned() override { FScanned = true; }
    void OpenFailed(int code, const std::string& text) override {
        FFailedCode = code;
        FFailedText = text;
    }
    void ShowError(const std::string& text, TFailureKind) override { FLastError = text; }
    void Start(uint32_t delayMs, std::function<void()> elapsed) override;
    void Cancel() override { FRetryAt.reset(); }

private:
    using TClock = std::chrono::steady_clock;
    // Handles notices until done(); false on cancel or when nothing came (no
    // notice, no byte) for the stall limit.
    bool Pump(const std::function<bool()>& done);
    // Brings the copy up to date from the picture; true when a pixel changed.
    bool Sync();
    // The state in the copy shows from a until b (export ms).
    void Show(int64_t a, int64_t b);
    int64_t OutOf(uint32_t tick) const { return static_cast<int32_t>(tick - FOriginTick); }
    // The first time at or after t that the container can give a frame.
    int64_t Slot(double t) const {
        return static_cast<int64_t>(std::ceil(t / double(FGranularity))) * FGranularity;
    }
    void Fail(const std::string& why);
    int Stopped(std::string& message);
    // The first stand (or the end without one): where the range starts on the clock.
    void Begin(uint32_t tick, uint32_t pos);

    const TExportOptions& FOptions;
    TExportCancel& FCancel;
    TQueueWindow FWindow;
    std::unique_ptr<TKivPlayerCore> FCore;
    // All below: the calling thread.
    TBitmap24 FCopy;
    TRect FDirty{};  // changed in the core's picture since the last Sync
    TRect FUnsent{}; // changed in the copy since the last frame emitted
    bool FAnswered = false, FEnded = false, FHeld = false, FScanned = false;
    int FFailedCode = 0;
    std::string FFailedText, FLastError;
    std::optional<TClock::time_point> FRetryAt;
    std::function<void()> FRetryElapsed;
    // Frame times.
    const TEmit* FEmit = nullptr;
    const TProgress* FProgress = nullptr;
    const int64_t FGranularity;
    double FPeriod = 1000.0 / 30;
    const int64_t FFrom;         // the range's start, recording ms, -1: none
    const int64_t FTo;           // its end (the hold), -1: none
    bool FStood = false;         // a stand seen since Play
    uint32_t FOriginTick = 0;    // the clock's tick at the range's start
    uint32_t FStandUntil = 0;    // the last stand's end, clock ms
    uint32_t FStandPosition = 0; // the recording position at the last stand
    int64_t FStateEnd = -1;      // export ms where the last state shown ends
    std::optional<int64_t> FLastEmit;
    int64_t FLastSlot = -1; // the fixed rate's last frame number
    bool FPending = false;  // the copy changed since the last frame
    uint64_t FFrames = 0;
    bool FFailed = false;
    std::string FFailure;
};

} // namespace kiv::exporting
