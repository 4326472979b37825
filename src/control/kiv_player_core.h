// The control without a toolkit: the opened source and its threads, the play
// state machine, open results, retries and reconnects, and the members a host
// calls. The Qt widget and kivtool drive the same core.
#pragma once

#include "buffers/play_context.h"
#include "control/control_types.h"
#include "control/control_view.h"
#include "playback/play_clock.h"
#include "playback/play_thread.h"
#include "sources/fill_thread.h"

#include <functional>
#include <memory>
#include <string>

namespace kiv {

class TKivPlayerCore {
public:
    struct TOptions {
        // Failed network opens are tried again (kivtool turns this off).
        bool RetryFailedOpens = true;
        // The play clock; the real one unless a host plays virtually.
        std::shared_ptr<TPlayClock> Clock;
        // The cache folder; made from $TMPDIR when empty.
        std::string CacheFolder;
    };

    // window: where the threads post their notices; the host hands each one to
    // HandleMessage on the core's thread. The others may be null.
    TKivPlayerCore(TWindowTarget* window, IKivPlayerEvents* events, IControlView* view,
                   IRetryTimer* retryTimer, TOptions options);
    TKivPlayerCore(TWindowTarget* window, IKivPlayerEvents* events = nullptr,
                   IControlView* view = nullptr, IRetryTimer* retryTimer = nullptr)
        : TKivPlayerCore(window, events, view, retryTimer, TOptions{}) {}
    ~TKivPlayerCore();
    TKivPlayerCore(const TKivPlayerCore&) = delete;
    TKivPlayerCore& operator=(const TKivPlayerCore&) = delete;

    // Members; a failure gives E_UNEXPECTED and leaves its text in GetErrorInfo().
    HRESULT Open(const std::string& address);
    HRESULT LoadFile(const std::string& address) { return Open(address); }
    HRESULT Close();
    HRESULT Play();
    HRESULT Pause();
    HRESULT Stop();
    HRESULT FastForward();
    HRESULT FastReverse();
    HRESULT GetCurrentPosition(int32_t* ms);
    HRESULT SetCurrentPosition(int32_t ms);
    HRESULT GetURL(std::string* url);
    HRESULT SetURL(const std::string& url);

    TStatus PlayState() const { return FStatus; }
    bool AutoStart() const { return FAutoStart; }
    void SetAutoStart(bool on) { FAutoStart = on; }
    uint16_t KivWidth() const { return FContext.Header.Width; }
    uint16_t KivHeight() const { return FContext.Header.Height; }
    uint32_t Duration() const { return FContext.Header.Duration; }
    // The hosting page's address, against which bare file names are resolved.
    void SetPageUrl(std::string url) { FPageUrl = std::move(url); }
    const std::string& CacheFolder() const { return FCacheFolder; }

    // A window message posted by the threads. Failures go to the view's ShowError.
    void HandleMessage(const TMessage& m);
    // The retry delay has passed.
    void RetryNow();

    TPlayContext& Context() { return FContext; }
    TPlayThread* PlayThread() { return FPlayThread.get(); }
    TFillThread* FillThread() { return FFillThread.get(); }

private:
    enum class TStep { Play, Pause, Stop, Scan, Reverse, Release, Cancel, BeginOpen };
    struct TRow; // one member's steps per state

    HRESULT Run(const TRow& row, const std::string* address = nullptr);
    void Do(TStep step, const std::string* address);
    void BeginOpen(const std::string& address);
    void OpenResult(int code, intptr_t tag);
    void ReleaseSource();
    void CancelOpen();
    void DoPlay();
    void DoPause();
    void DoStop();
    void DoScanForward();
    void SetStatus(TStatus status, bool fire);
    void CancelRetry();
    void ScheduleRetry();
    std::string ResolveAddress(const std::string& address) const;

    TPlayContext FContext;
    TWindowTarget* FWindow;
    IKivPlayerEvents* FEvents;
    IControlView* FView;
    IControlView FNoView;
    IRetryTimer* FRetryTimer;
    TOptions FOptions;
    std::string FCacheFolder;
    std::string FUrl;
    std::string FPageUrl;
    bool FAutoStart = true;
    TStatus FStatus = vpClosed;
    std::unique_ptr<TFillThread> FFillThread;
    std::unique_ptr<TPlayThread> FPlayThread;
    uint32_t FRetryDelay = 0; // ms of the next wait; 0 before the first retry
    bool FRetryPending = false;
};

} // namespace kiv
