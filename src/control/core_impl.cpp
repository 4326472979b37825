#include "control/core_impl.h"

#include "codec/kivdecoder.h"
#include "control/open_retry.h"
#include "control/source_opening.h"
#include "net/address.h"
#include "platform/cache_folder.h"
#include "platform/debug_log.h"
#include "platform/error.h"
#include "platform/kiv_messages.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <vector>

namespace kiv {
namespace {

constexpr const char* kUnit = "KivPlayer/PivoraImpl";

thread_local std::string tErrorInfo;

} // namespace

void SetErrorInfo(std::string text) {
    tErrorInfo = std::move(text);
}
const std::string& GetErrorInfo() {
    return tErrorInfo;
}

TCore::TCore(TWindowTarget* window, IKivPlayerEvents* events, IControlView* view,
             IRetryTimer* retryTimer, TOptions options)
    : FWindow(window), FEvents(events), FView(view ? view : &FNoView), FRetryTimer(retryTimer),
      FOptions(std::move(options)) {
    if (!FEvents) FEvents = &FNoEvents;
    if (!FOptions.Clock) FOptions.Clock = std::make_shared<TRealClock>();
    std::string error;
    FCacheFolder = FOptions.CacheFolder.empty() ? MakeCacheFolder(&error) : FOptions.CacheFolder;
    if (!error.empty()) FView->ShowError(error, TFailureKind::CacheFolder);
    FContext.Window = FWindow;
    if (!FWindow) FOptions.Thumbnails.reset(); // its threads would have nowhere to post
    if (FOptions.Thumbnails) FOptions.Thumbnails->Attach(*FWindow, *FView);
    InitDecoder();
}

TCore::~TCore() {
    Close();
    FOptions.Thumbnails.reset(); // its threads post to the window: they end first
    UninitDecoder();
}

void TCore::SetStatus(TStatus status, bool fire) {
    FStatus = status;
    if (fire) FEvents->OnPlayStateChanged(status);
}

HRESULT TCore::Run(TTableMember member, const std::string* address) {
    try {
        for (TStep step : MemberSteps(member, FStatus))
            Do(step, address);
        return S_OK;
    } catch (const std::exception& e) {
        SetErrorInfo(e.what());
        return E_UNEXPECTED;
    }
}

void TCore::Do(TStep step, const std::string* address) {
    switch (step) {
    case TStep::Play:
        DoPlay();
        break;
    case TStep::Pause:
        DoPause();
        break;
    case TStep::Stop:
        DoStop();
        break;
    case TStep::Scan:
        DoScanForward();
        break;
    case TStep::Reverse:
        throw EKivError("Not Implement");
    case TStep::Release:
        ReleaseSource();
        break;
    case TStep::Cancel:
        CancelOpen();
        break;
    case TStep::BeginOpen:
        BeginOpen(*address);
        break;
    }
}

HRESULT TCore::Open(const std::string& address) {
    CancelRetry();
    FRetryDelay = 0; // a host's own open starts the spacing afresh
    FRate = 1;
    return Run(TTableMember::Open, &address);
}

HRESULT TCore::Close() {
    CancelRetry();
    return Run(TTableMember::Close);
}

HRESULT TCore::Play() {
    return Run(TTableMember::Play);
}

HRESULT TCore::Pause() {
    return Run(TTableMember::Pause);
}

HRESULT TCore::Stop() {
    return Run(TTableMember::Stop);
}

HRESULT TCore::FastForward() {
    return Run(TTableMember::FastForward);
}

HRESULT TCore::FastReverse() {
    return Run(TTableMember::FastReverse);
}

HRESULT TCore::GetCurrentPosition(int32_t* ms) {
    *ms = FPlayThread ? static_cast<int32_t>(FPlayThread->CurrentPosition()) : 0;
    return S_OK;
}

HRESULT TCore::SetCurrentPosition(int32_t ms) {
    if (!FPlayThread) return S_OK;
    ++FPositionRequests;
    FPlayThread->SetPosition(static_cast<uint32_t>(ms));
    return S_OK;
}

HRESULT TCore::GetURL(std::string* url) {
    *url = FUrl;
    return S_OK;
}

HRESULT TCore::SetURL(const std::string& url) {
    if (url.find_first_not_of(" \t\r\n") == std::string::npos) return S_OK;
    return Open(url);
}

void TCore::DoPlay() {
    FPlayThread->Play();
    SetStatus(vpPlaying, true);
}

void TCore::DoPause() {
    FPlayThread->Pause();
    SetStatus(vpPaused, true);
    TellPosition(FPlayThread->CurrentPosition());
}

void TCore::DoStop() {
    FPlayThread->Stop();
    SetStatus(vpStopped, true);
    TellPosition(0);
}

void TCore::TellPosition(uint32_t ms) {
    FView->PositionChanged(ms);
}

void TCore::RelayoutThumbnails(int32_t count) {
    if (FOptions.Thumbnails) FOptions.Thumbnails->Relayout(count);
}

void TCore::DoScanForward() {
    FPlayThread->ScanForward();
    SetStatus(vpScanForward, false);
}

std::string TCore::ResolveAddress(const std::string& address) const {
    return ResolveSourceAddress(address, FPageUrl);
}

void TCore::BeginOpen(const std::string& address) {
    KIV_ASSERT(FStatus == vpClosed, kUnit);
    FUrl = ResolveAddress(address);
    if (FOptions.Thumbnails) FOptions.Thumbnails->Stop();
    FContext.Activity.Clear();
    TReadingSource source = StartReadingThread(FUrl, FContext, FCacheFolder);
    FFillThread = std::move(source.Thread);
    FSourceName = source.Name;
    FContext.Window = FWindow;
    SetStatus(vpOpening, true);
    FFillThread->Open(source.Name);
}

void TCore::OnOpenResult(const TMessage& m) {
    const auto code = static_cast<int>(m.WParam);
    // A result from a reading thread freed meanwhile is stale.
    if (FStatus != vpOpening || !FFillThread || FFillThread->Tag() != m.LParam) return;
    if (code == srOk) {
        FRetryDelay = 0;
        FPlayThread =
            std::make_unique<TPlayThread>(&FContext, FOptions.Clock, FCacheFolder + "dump.txt");
        FPlayThread->Start();
        FContext.PlayThread = FPlayThread.get();
        FPositionRequests = 0;
        ApplyNavigation();
        // A local file's activity comes from one pass over its record headers.
        if (FFillThread->SourceKind() == skLocalFile)
            FScan = std::make_unique<TActivityScan>(FSourceName, FContext.Activity, FWindow);
        ApplyDisplayMode();
        if (FOptions.Thumbnails) FOptions.Thumbnails->Load(FUrl, FCacheFolder);
        SetStatus(vpOpened, true);
        if (FAutoStart) Play();
        DebugLog(" Opened");
        return;
    }
    FFillThread->Destroy();
    FFillThread.reset();
    FContext.FillThread = nullptr;
    SetStatus(vpClosed, false);
    const std::string text = SourceFailureMessage(code, FUrl);
    FView->OpenFailed(code, text);
    if (RetriesOpen(code, FUrl) && FOptions.RetryFailedOpens) {
        DebugLog(" Can not open, try again!");
        ScheduleRetry();
        return;
    }
    FView->ShowError(text, TFailureKind::Player);
}

void TCore::ScheduleRetry() {
    FRetryDelay = NextRetryDelay(FRetryDelay);
    FRetryPending = true;
    if (FRetryTimer)
        FRetryTimer->Start(FRetryDelay, [this] { RetryNow(); });
    else
        RetryNow();
}

void TCore::RetryNow() {
    if (!FRetryPending || FStatus != vpClosed) return;
    FRetryPending = false;
    try {
        BeginOpen(FUrl);
    } catch (const std::exception& e) {
        FView->ShowError(e.what(), TFailureKind::Player);
    }
}

void TCore::CancelRetry() {
    if (!FRetryPending) return;
    FRetryPending = false;
    if (FRetryTimer) FRetryTimer->Cancel();
}

void TCore::ReleaseSource() {
    KIV_ASSERT(FStatus != vpClosed && FStatus != vpOpening, kUnit);
    // The play thread ends first; its object outlives the reading thread, which
    // may still post WM_DRAWTO to it until it has ended too.
    // A play thread waiting for a stalled read must not hold the host up.
    if (FFillThread) FFillThread->Abort();
    FScan.reset();
    if (FPlayThread) FPlayThread->Destroy();
    if (FFillThread) FFillThread->Destroy();
    FContext.PlayThread = nullptr;
    FContext.FillThread = nullptr;
    FPlayThread.reset();
    FFillThread.reset();
    FContext.Frames.Clear();
    FContext.KeyFrames.Clear();
    FContext.IndexTable.Clear();
    FContext.Activity.Clear();
    SetStatus(vpClosed, false);
    FView->SourceReleased();
}

void TCore::CancelOpen() {
    KIV_ASSERT(FStatus == vpOpening, kUnit);
    if (FFillThread) FFillThread->Destroy();
    FFillThread.reset();
    FContext.FillThread = nullptr;
    SetStatus(vpClosed, false);
}

HRESULT TCore::InvalidValue() {
    SetErrorInfo("Invalid property value");
    return E_UNEXPECTED;
}

HRESULT TCore::SetRate(double rate) {
    if (!(rate >= 0.25 && rate <= 16)) return InvalidValue();
    FRate = rate;
    if (FPlayThread) FPlayThread->SetRate(static_cast<int32_t>(std::lround(rate * 1000)));
    return S_OK;
}

HRESULT TCore::SetSkipIdle(bool on) {
    FSkipIdle = on;
    ApplyNavigation();
    return S_OK;
}

HRESULT TCore::SetIdleThreshold(int32_t ms) {
    if (ms < 100) return InvalidValue();
    FIdleThreshold = ms;
    ApplyNavigation();
    return S_OK;
}

HRESULT TCore::SetIdleCap(int32_t ms) {
    if (ms < 0) return InvalidValue();
    FIdleCap = ms;
    ApplyNavigation();
    return S_OK;
}

void TCore::ApplyNavigation() {
    if (!FPlayThread) return;
    FPlayThread->SetRate(static_cast<int32_t>(std::lround(FRate * 1000)));
    FPlayThread->SetIdleSkipping(FSkipIdle, static_cast<uint32_t>(FIdleThreshold),
                                 static_cast<uint32_t>(FIdleCap));
}

HRESULT TCore::NextMarker() {
    uint32_t marker = 0;
    if (FPlayThread && FContext.Activity.NextMarker(FPlayThread->CurrentPosition(), marker))
        return SetCurrentPosition(static_cast<int32_t>(marker));
    return S_OK;
}

HRESULT TCore::PreviousMarker() {
    uint32_t marker = 0;
    if (FPlayThread && FContext.Activity.PreviousMarker(FPlayThread->CurrentPosition(),
                                                        TActivity::kMarkerAgainMs, marker))
        return SetCurrentPosition(static_cast<int32_t>(marker));
    return S_OK;
}

} // namespace kiv
