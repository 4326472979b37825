#include "export/export_host.h"

#include "control/record_reader.h"
#include "format/source_result.h"
#include "net/address.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kiv::exporting {

namespace {
// Posted by a cancel to end a wait; no handler takes it.
constexpr uint32_t WM_EXPORTWAKE = WM_USER + 900;
} // namespace

TExportHost::TExportHost(const TExportOptions& options, TExportCancel& cancel, int64_t fromMs,
                         int64_t holdAfterMs, int64_t granularityMs)
    : FOptions(options), FCancel(cancel), FGranularity(std::max<int64_t>(granularityMs, 1)),
      FFrom(fromMs), FTo(holdAfterMs) {
    TKivPlayerCore::TOptions core;
    core.RetryFailedOpens = false; // an export reports a failed open at once
    core.Clock = MakeSteppingClock(holdAfterMs, fromMs);
    FCore = std::make_unique<TKivPlayerCore>(&FWindow, this, this, this, std::move(core));
    FCancel.SetWaker([this] { FWindow.Post(WM_EXPORTWAKE, 0, 0); });
}

TExportHost::~TExportHost() {
    FCancel.SetWaker({});
    // The core goes first: its threads post here until they end.
    FCore.reset();
}

void TExportHost::Start(uint32_t delayMs, std::function<void()> elapsed) {
    FRetryElapsed = std::move(elapsed);
    FRetryAt = TClock::now() + std::chrono::milliseconds(delayMs);
}

bool TExportHost::Pump(const std::function<bool()>& done) {
    const std::chrono::milliseconds stall(kStalledSourceMs);
    auto lastNotice = TClock::now();
    while (!done()) {
        if (FCancel.Cancelled() || FFailed) return false;
        if (FRetryAt && TClock::now() >= *FRetryAt) {
            FRetryAt.reset();
            FRetryElapsed();
            continue;
        }
        TMessage m;
        if (FWindow.Queue.TryGet(m)) {
            if (m.Msg != WM_EXPORTWAKE) {
                FCore->HandleMessage(m);
                lastNotice = TClock::now();
            }
            continue;
        }
        auto until = lastNotice + stall;
        if (FRetryAt) until = std::min(until, *FRetryAt);
        if (FWindow.Queue.WaitUntil(until) || TClock::now() < lastNotice + stall) continue;
        // Bytes still coming in, however slowly, keep it going.
        const TStatistics s = FCore->Statistics();
        if (s.Reading && s.QuietMs < kStalledSourceMs) {
            lastNotice = TClock::now() - std::chrono::milliseconds(s.QuietMs);
            continue;
        }
        return false;
    }
    return true;
}

int TExportHost::Open(std::string& message) {
    FCore->SetAutoStart(false);
    if (FCore->Open(FOptions.Address) != S_OK) {
        message = GetErrorInfo();
        return srCannotOpen;
    }
    Pump([&] { return FCore->PlayState() != vpOpening; });
    if (FCancel.Cancelled()) return kExportCancelled;
    if (FCore->PlayState() == vpOpened) return 0;
    if (FFailedText.empty()) {
        FFailedCode = srDisconnected;
        FFailedText = SourceFailureMessage(srDisconnected, FOptions.Address);
    }
    message = FFailedText;
    return FFailedCode ? FFailedCode : srCannotOpen;
}

bool TExportHost::ReadThrough() {
    FCore->Play();
    return Pump([&] { return FEnded || FCore->PlayState() == vpClosed; });
}

bool TExportHost::WaitForActivity() {
    return Pump([&] { return FScanned || FCore->PlayState() == vpClosed; });
}

void TExportHost::PictureChanged(const TRect& r, TDisplayMode, const IPictureSource&) {
    FDirty = UnionRect(FDirty, r);
}

bool TExportHost::Sync() {
    bool changed = false;
    auto read = [&](const TBitmap24& picture) {
        if (FCopy.IsEmpty()) {
            if (picture.IsEmpty() || !FCopy.Create(picture.Width(), picture.Height())) return;
            FDirty = picture.Bounds();
        }
        const TRect r = ClipRect(FDirty, FCopy.Width(), FCopy.Height());
        const size_t bytes = static_cast<size_t>(r.Width()) * 3;
        for (int32_t y = r.Top; y < r.Bottom; ++y) {
            const uint8_t* from = picture.Row(y) + static_cast<size_t>(r.Left) * 3;
            uint8_t* to = FCopy.Row(y) + static_cast<size_t>(r.Left) * 3;
            if (std::memcmp(from, to, bytes) == 0) continue;
            std::memcpy(to, from, bytes);
            FUnsent = UnionRect(FUnsent, {r.Left, y, r.Right, y + 1});
            changed = true;
        }
    };
    const IPictureSource& source = FCore->Picture();
    if (FOptions.Pointer)
        source.Read(read);
    else
        source.ReadWithoutPointer(read);
    FDirty = {};
    return changed;
}

void TExportHost::Show(int64_t a, int64_t b) {
    auto emit = [&](int64_t t) {
        (*FEmit)(FCopy, t, FUnsent);
        FUnsent = {};
        FLastEmit = t;
        ++FFrames;
    };
    if (FCopy.IsEmpty()) return;
    if (FOptions.Cfr) {
        // Every slot of the fixed rate that falls in the state shows it.
        auto slot = [&](int64_t k) { return Slot(double(k) * FPeriod); };
        int64_t k = std::max<int64_t>(FLastSlot + 1, static_cast<int64_t>(double(a) / FPeriod));
        while (slot(k) < a)
            ++k;
        for (; slot(k) < b && !FCancel.Cancelled(); ++k) {
            emit(slot(k));
            FLastSlot = k;
        }
        FPending = false;
        return;
    }
    if (!FPending) return;
    // Faster changes than the cap wait for the next slot; a state gone by then
    // is merged into the one that follows.
    const int64_t t =
        Slot(FLastEmit ? std::max(double(a), double(*FLastEmit) + FPeriod) : double(a));
    if (t >= b) return;
    emit(t);
    FPending = false;
}

void TExportHost::Fail(const std::string& why) {
    if (FFailed) return;
    FFailed = true;
    FFailure = why;
}

namespace {

// How long a gap in the recording lasts in the export.
int64_t GapOut(const TKivPlayerCore& core, uint32_t gapMs) {
    if (core.SkipIdle() && gapMs > static_cast<uint32_t>(core.IdleThreshold()))
        return std::min<int64_t>(gapMs, core.IdleCap());
    return std::llround(gapMs / core.Rate());
}

} // namespace

void TExportHost::Begin(uint32_t tick, uint32_t pos) {
    FStood = true;
    // The range starts inside the state drawn last: the clock reaches the start
    // that much later.
    const uint32_t from = FFrom >= 0 ? static_cast<uint32_t>(FFrom) : pos;
    FOriginTick = tick + static_cast<uint32_t>(GapOut(*FCore, from > pos ? from - pos : 0));
}

void TExportHost::PictureStands(uint32_t fromTick, uint32_t untilTick) {
    if (FFailed) return;
    if (!FEmit) {
        FCore->StepOn(); // read through for the markers
        return;
    }
    try {
        int32_t position = 0;
        FCore->GetCurrentPosition(&position);
        const auto pos = static_cast<uint32_t>(position);
        if (!FStood) Begin(fromTick, pos);
        if (Sync()) FPending = true;
        // The copy is all the frames need: the play thread decodes on meanwhile.
        if (!FCancel.Cancelled()) FCore->StepOn();
        const int64_t a = std::max<int64_t>(OutOf(fromTick), 0);
        int64_t b = OutOf(untilTick);
        // The range ends at FTo: the picture there shows no longer.
        if (FTo >= 0 && FTo >= pos)
            b = std::min(
                b, OutOf(fromTick) +
                       std::max<int64_t>(GapOut(*FCore, static_cast<uint32_t>(FTo) - pos), 1));
        if (b > a) Show(a, b);
        FStateEnd = std::max<int64_t>(b, 0);
        FStandUntil = untilTick;
        FStandPosition = pos;
        if (FProgress) (*FProgress)(pos, FFrames);
    } catch (const std::exception& e) {
        Fail(e.what());
    }
}

int TExportHost::Play(const TEmit& emit, int64_t& endMs, std::string& message,
                      const TProgress& progress) {
    FEmit = &emit;
    FProgress = &progress;
    FPeriod = 1000.0 / FOptions.Fps;
    TKivPlayerCore& core = *FCore;
    const auto lost = [&] { return core.PlayState() == vpClosed; };
    core.Play();
    if (!Pump([&] { return FEnded || FHeld || lost(); })) return Stopped(message);
    if (lost()) {
        message = "the source was lost";
        return kExportFailed;
    }
    try {
        int32_t position = 0;
        core.GetCurrentPosition(&position);
        const auto pos = static_cast<uint32_t>(position);
        if (FFrom >= 0 && pos < FFrom) return 0; // the range lies past the end: no picture
        const bool drawn = !FStood || pos != FStandPosition;
        // What was drawn after the last stand shows until the end of the range.
        int64_t start = 0;
        if (FStood) start = std::max<int64_t>(OutOf(FStandUntil), 0);
        const bool changed = Sync();
        if (changed) FPending = true;
        if (changed || drawn) {
            const uint32_t last =
                FHeld && FTo >= 0 ? static_cast<uint32_t>(FTo) : std::max(core.Duration(), pos);
            const uint32_t from = FFrom >= 0 && !FStood ? std::max<uint32_t>(pos, FFrom) : pos;
            const int64_t end =
                start + std::max<int64_t>(std::llround(FPeriod),
                                          GapOut(core, last > from ? last - from : 0));
            Show(start, end);
            FStateEnd = end;
        }
        if (FFailed) {
            message = FFailure;
            return kExportFailed;
        }
        endMs = std::max(FStateEnd, FLastEmit ? *FLastEmit + 1 : 0);
    } catch (const std::exception& e) {
        message = e.what();
        return kExportFailed;
    }
    return FCancel.Cancelled() ? kExportCancelled : 0;
}

int TExportHost::Stopped(std::string& message) {
    if (FCancel.Cancelled()) return kExportCancelled;
    if (FFailed) {
        message = FFailure;
        return kExportFailed;
    }
    message = "the source stopped delivering";
    return kExportFailed;
}

} // namespace kiv::exporting
