// Behind the face: the core's state and its threads. Only control/ and the
// tests include this.
#pragma once

#include "buffers/play_context.h"
#include "control/kiv_player_core.h"
#include "control/member_steps.h"
#include "playback/play_clock.h"
#include "playback/play_thread.h"
#include "sources/activity_scan.h"
#include "sources/fill_thread.h"

#include <memory>
#include <string>

namespace kiv {

class TCore {
public:
    using TOptions = TKivPlayerCore::TOptions;
    TCore(TWindowTarget* window, IKivPlayerEvents* events, IControlView* view,
          IRetryTimer* retryTimer, TOptions options);
    ~TCore();
    TCore(const TCore&) = delete;
    TCore& operator=(const TCore&) = delete;

    HRESULT Open(const std::string& address);
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
    HRESULT SetDisplayMode(int32_t mode);
    HRESULT GetFullScreen(bool* on);
    HRESULT SetFullScreen(bool on);

    TStatus PlayState() const { return FStatus; }
    TDisplayMode DisplayMode() const { return FDisplayMode; }
    bool AutoStart() const { return FAutoStart; }
    void SetAutoStart(bool on) { FAutoStart = on; }
    uint16_t KivWidth() const { return FContext.Header.Width; }
    uint16_t KivHeight() const { return FContext.Header.Height; }
    uint32_t Duration() const { return FContext.Header.Duration; }
    void SetPageUrl(std::string url) { FPageUrl = std::move(url); }
    const std::string& CacheFolder() const { return FCacheFolder; }
    TStatistics Statistics() const;
    const IPictureSource& Picture() const { return FPicture; }

    void ChooseAdaptive() { ChooseFrameMode(dmAdaptive); }
    void ChooseOriginal() { ChooseFrameMode(dmOriginal); }
    void ChooseFullScreen();
    void LeaveFullScreen();
    void FullScreenClosed();
    void RefreshPicture();
    void RelayoutThumbnails(int32_t count);
    void HandleMessage(const TMessage& m);
    void StepOn() {
        if (FPlayThread) FPlayThread->Continue();
    }

    HRESULT SetRate(double rate);
    double Rate() const { return FRate; }
    HRESULT SetSkipIdle(bool on);
    bool SkipIdle() const { return FSkipIdle; }
    HRESULT SetIdleThreshold(int32_t ms);
    int32_t IdleThreshold() const { return FIdleThreshold; }
    HRESULT SetIdleCap(int32_t ms);
    int32_t IdleCap() const { return FIdleCap; }
    void SetPauseOnMarker(bool on) { FPauseOnMarker = on; }
    bool PauseOnMarker() const { return FPauseOnMarker; }
    std::vector<TActivitySecond> Activity() const { return FContext.Activity.Seconds(); }
    std::vector<TMarker> Markers() const { return FContext.Activity.Markers(); }
    std::vector<TIdleStretch> IdleStretches() const {
        return FContext.Activity.IdleStretches(static_cast<uint32_t>(FIdleThreshold));
    }
    HRESULT NextMarker();
    HRESULT PreviousMarker();

private:
    friend class TKivPlayerCoreProbe; // tests look inside
    struct THandler;
    static const THandler kHandlers[];

    class TPicture : public IPictureSource {
    public:
        explicit TPicture(const TCore& core) : FCore(core) {}
        bool Initialized() const override;
        int32_t Width() const override;
        int32_t Height() const override;
        bool Read(const std::function<void(const TBitmap24&)>& read) const override;
        bool ReadWithoutPointer(const std::function<void(const TBitmap24&)>& read) const override;

    private:
        TBackBuffer* Back() const;
        const TCore& FCore;
    };

    HRESULT Run(TTableMember member, const std::string* address = nullptr);
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
    void RetryNow();
    // The position notice; played is what the view was last told.
    void TellPosition(uint32_t ms);
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
    void OnThumbnailMessage(const TMessage& m);
    void OnPlayPosition(const TMessage& m);
    void OnMarkerPassed(const TMessage& m);
    void OnActivityScanned(const TMessage& m);
    // The rate and idle settings, to the play thread.
    void ApplyNavigation();
    static HRESULT InvalidValue();
    void OnPositionAnswered(const TMessage& m);
    void OnPlayedToEnd(const TMessage& m);
    void OnClockHeld(const TMessage& m);
    void OnPictureStands(const TMessage& m);

    // All fields belong to the core's (the host's) thread.
    TPlayContext FContext;
    TWindowTarget* FWindow;
    IKivPlayerEvents* FEvents;
    IControlView* FView;
    IControlView FNoView;
    IKivPlayerEvents FNoEvents;
    IRetryTimer* FRetryTimer;
    TOptions FOptions; // its Thumbnails too: attached once, freed before the core
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
    double FRate = 1; // an open starts at 1
    bool FSkipIdle = false;
    int32_t FIdleThreshold = 2000; // ms
    int32_t FIdleCap = 500;        // ms
    bool FPauseOnMarker = false;
    std::string FSourceName;              // what the reading thread opened
    std::unique_ptr<TActivityScan> FScan; // a local file's activity, built aside
};

} // namespace kiv
