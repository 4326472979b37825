// The control without a toolkit, as a host sees it: members, events, notices
// to its view, statistics and the composed picture. The source, its threads
// and buffers stay behind this face; the Qt widget and kivtool drive the same core.
#pragma once

#include "control/control_types.h"
#include "control/control_view.h"
#include "control/thumbnails.h"
#include "format/activity.h"
#include "platform/window_target.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kiv {

class TPlayClock;
class TCore;

class TKivPlayerCore {
public:
    struct TOptions {
        // Failed network opens are tried again (kivtool turns this off).
        bool RetryFailedOpens = true;
        // The play clock; the real one unless a host plays virtually (MakeVirtualClock).
        std::shared_ptr<TPlayClock> Clock;
        // The cache folder; made from $TMPDIR when empty.
        std::string CacheFolder;
        // Where thumbnails come from (NewThumbnails); none without.
        std::unique_ptr<IThumbnails> Thumbnails;
    };

    // window: where the threads post their notices; the host hands each one back
    // to HandleMessage on the core's thread. The others may be null; without a
    // timer a failed open is retried at once.
    TKivPlayerCore(TWindowTarget* window, IKivPlayerEvents* events, IControlView* view,
                   IRetryTimer* retryTimer, TOptions options);
    TKivPlayerCore(TWindowTarget* window, IKivPlayerEvents* events = nullptr,
                   IControlView* view = nullptr, IRetryTimer* retryTimer = nullptr);
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

    TStatus PlayState() const;
    TDisplayMode DisplayMode() const;
    bool AutoStart() const;
    void SetAutoStart(bool on);
    uint16_t KivWidth() const;
    uint16_t KivHeight() const;
    uint32_t Duration() const;
    // The hosting page's address, against which bare file names are resolved.
    void SetPageUrl(std::string url);
    const std::string& CacheFolder() const;
    // Safe at any moment, with or without a source.
    TStatistics Statistics() const;
    // The composed picture, for painting and snapshots.
    const IPictureSource& Picture() const;

    // The display-mode operations of the menu and the full-screen gestures.
    void ChooseAdaptive();
    void ChooseOriginal();
    void ChooseFullScreen();
    void LeaveFullScreen();
    // The full-screen surface went away without being asked (the window manager
    // closed it): the core leaves full screen and never paints there again.
    void FullScreenClosed();
    // Has the play thread repaint the whole picture.
    void RefreshPicture();
    // The thumbnail strip's width changed: its count cells re-flow, one
    // ThumbnailLayoutStep at a time.
    void RelayoutThumbnails(int32_t count);

    // Finding the moment, beyond the automation interface. The rate of playing,
    // 0.25 to 16 (any value between; others fail): it takes effect at once, also
    // in a gap, never moves the position, and is kept across pause, seek and
    // stop; an open starts at 1. FastForward still scans at twice normal.
    HRESULT SetRate(double rate);
    double Rate() const;
    // Idle stretches (nothing changes the picture or moves the pointer for longer
    // than the threshold) play in the cap each; the recording's own time is the
    // one shown and sought.
    HRESULT SetSkipIdle(bool on);
    bool SkipIdle() const;
    HRESULT SetIdleThreshold(int32_t ms); // at least 100
    int32_t IdleThreshold() const;
    HRESULT SetIdleCap(int32_t ms); // 0 or more
    int32_t IdleCap() const;
    // Playing pauses at each marker it passes.
    void SetPauseOnMarker(bool on);
    bool PauseOnMarker() const;
    // From the record headers: per second, what the recording does; its markers;
    // its idle stretches under the threshold now set.
    std::vector<TActivitySecond> Activity() const;
    std::vector<TMarker> Markers() const;
    std::vector<TIdleStretch> IdleStretches() const;
    // Seeks to the next marker, or the previous one (one further back within a
    // second after a marker); nothing without one.
    HRESULT NextMarker();
    HRESULT PreviousMarker();

    // The one duty a host has toward the core's threads: every message they
    // posted to the window, handed back here on the core's thread. Failures go
    // to the view's ShowError.
    void HandleMessage(const TMessage& m);
    // After PictureStands: playing goes on (a stepping clock only).
    void StepOn();

private:
    friend class TKivPlayerCoreProbe; // tests look inside
    std::unique_ptr<TCore> FCore;
};

// A play clock that never waits: playing runs as fast as decoding, and holds
// before the first sample after holdAfterMs (-1: never), with ClockHeld.
std::shared_ptr<TPlayClock> MakeVirtualClock(int64_t holdAfterMs = -1);
// The same, stopping wherever the picture stands still (PictureStands) before
// each sample past stepAfterMs until the host calls StepOn: a host takes every
// picture there is, each with its time, as playing from the start composes it.
std::shared_ptr<TPlayClock> MakeSteppingClock(int64_t holdAfterMs = -1, int64_t stepAfterMs = -1);

} // namespace kiv
