// The control without a toolkit: the opened source and its threads, the play
// state machine, open results, retries and reconnects, display modes, and the
// members a host calls. The Qt widget and kivtool drive the same core.
#pragma once

#include "buffers/play_context.h"
#include "control/control_types.h"
#include "control/control_view.h"
#include "playback/play_clock.h"
#include "playback/play_thread.h"
#include "sources/fill_thread.h"

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
    // Scripts are never run: always "Not Implement".
    HRESULT SendScript(const std::string& /*script*/) {
        SetErrorInfo("Not Implement");
        return E_UNEXPECTED;
    }
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
    HRESULT GetDisplayMode(TDisplayMode* mode);
    // The same value does nothing; 0, 1 and 2 act as the menu; others are ignored.
    HRESULT SetDisplayMode(int32_t mode);
    HRESULT GetFullScreen(bool* on);
    // True chooses full screen; false does nothing.
    HRESULT SetFullScreen(bool on);

    TStatus PlayState() const { return FStatus; }
    TDisplayMode DisplayMode() const { return FDisplayMode; }
    bool AutoStart() const { return FAutoStart; }
    void SetAutoStart(bool on) { FAutoStart = on; }
    uint16_t KivWidth() const { return FContext.Header.Width; }
    uint16_t KivHeight() const { return FContext.Header.Height; }
    uint32_t Duration() const { return FContext.Header.Duration; }
    // The hosting page's address, against which bare file names are resolved.
    void SetPageUrl(std::string url) { FPageUrl = std::move(url); }
    const std::string& CacheFolder() const { return FCacheFolder; }
    // Safe at any moment, with or without a source.
    TStatistics Statistics() const;
    // The composed picture, for painting and snapshots.
    const IPictureSource& Picture() const { return FPicture; }

    // The display-mode operations of the menu and the full-screen gestures.
    void ChooseAdaptive() { ChooseFrameMode(dmAdaptive); }
    void ChooseOriginal() { ChooseFrameMode(dmOriginal); }
    void ChooseFullScreen();
    void LeaveFullScreen();
    // The full-screen surface went away without being asked (the window manager
    // closed it): the core leaves full screen and never paints there again.
    void FullScreenClosed();
    // Has the play thread repaint the whole picture.
    void RefreshPicture();

    // A window message posted by the threads or the surfaces. Failures go to the
    // view's ShowError.
    void HandleMessage(const TMessage& m);
    // The retry delay has passed.
    void RetryNow();

private:
    friend class TKivPlayerCoreProbe; // tests look inside
    enum class TStep { Play, Pause, Stop, Scan, Reverse, Release, Cancel, BeginOpen };
    struct TRow; // one member's steps per state
    struct THandler;
    static const THandler kHandlers[];

    class TPicture : public IPictureSource {
    public:
        explicit TPicture(const TKivPlayerCore& core) : FCore(core) {}
        bool Initialized() const override;
        int32_t Width() const override;
        int32_t Height() const override;
        bool Read(const std::function<void(const TBitmap24&)>& read) const override;

    private:
        TBackBuffer* Back() const;
        const TKivPlayerCore& FCore;
    };

    HRESULT Run(const TRow& row, const std::string* address = nullptr);
    void Do(TStep step, const std::string* address);
    void BeginOpen(const std::string& address);
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

    void ChooseFrameMode(TDisplayMode mode);
    void ApplyDisplayMode();
    void ChangeDisplayMode(TDisplayMode mode);

    // Window-message handlers, reached through kHandlers.
    void OnExitFullScreen(const TMessage& m);
    void OnPictureChanged(const TMessage& m);
    void OnReconnect(const TMessage& m);
    void OnEnterFullScreen(const TMessage& m);
    void OnSampleNotice(const TMessage& m);
    void OnRefreshPicture(const TMessage& m);
    void OnOpenResult(const TMessage& m);
    void OnPositionChanged(const TMessage& m);
    void OnNailCreated(const TMessage& m);
    void OnNailLayout(const TMessage& m);
    void OnNailsDownloaded(const TMessage& m);
    void OnPositionAnswered(const TMessage& m);
    void OnPlayedToEnd(const TMessage& m);
    void OnClockHeld(const TMessage& m);

    // All fields belong to the core's (the host's) thread.
    TPlayContext FContext;
    TWindowTarget* FWindow;
    IKivPlayerEvents* FEvents;
    IControlView* FView;
    IControlView FNoView;
    IKivPlayerEvents FNoEvents;
    IRetryTimer* FRetryTimer;
    TOptions FOptions;
    TPicture FPicture{*this};
    std::string FCacheFolder;
    std::string FUrl;
    std::string FPageUrl;
    bool FAutoStart = true;
    TStatus FStatus = vpClosed;
    TDisplayMode FDisplayMode = dmAdaptive;      // kept across open and close
    TDisplayMode FSavedDisplayMode = dmAdaptive; // where leaving full screen returns
    bool FFullScreenShown = false;               // the view holds a full-screen surface
    std::unique_ptr<TFillThread> FFillThread;
    std::unique_ptr<TPlayThread> FPlayThread;
    uint32_t FPositionRequests = 0; // sent to the current play thread
    uint32_t FRetryDelay = 0;       // ms of the next wait; 0 before the first retry
    bool FRetryPending = false;
};

} // namespace kiv
