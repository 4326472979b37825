// The control on screen: the core's view, its window for the threads' notices,
// the picture frame, the full-screen window, the menu and the dialogs.
#pragma once

#include "control/kiv_player_core.h"
#include "platform/window_target.h"
#include "ui/ctrl_events.h"
#include "ui/detail_frame.h"
#include "ui/full_screen_form.h"
#include "ui/nails_frame.h"
#include "ui/status_form.h"

#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kiv::ui {

class TKivPlayerCtrl : public QWidget,
                       public TWindowTarget,
                       public IControlView,
                       public IKivPlayerEvents,
                       public IRetryTimer {
public:
    // events: the host's sink (may be null); it receives the core's events and
    // the form's.
    explicit TKivPlayerCtrl(QWidget* parent = nullptr, IKivPlayerEvents* events = nullptr,
                            TKivPlayerCore::TOptions options = {});
    ~TKivPlayerCtrl() override;

    TKivPlayerCore& Core() { return *FCore; }
    // The core's notices, for hosts that wait on them.
    struct TNotices {
        std::function<void(uint32_t ms)> PositionAnswered;
        std::function<void()> PlayedToEnd;
        // The position, while playing at most every 100 ms, and after seeks and stops.
        std::function<void(uint32_t ms)> PositionChanged;
        // A web recording's thumbnails arrived; its cells follow.
        std::function<void()> ThumbnailsDownloaded;
        // A local recording's activity and markers are complete; playing passed a marker.
        std::function<void()> ActivityScanned;
        std::function<void(uint32_t ms, const std::string& text)> MarkerPassed;
        // A failure went to the user (or was dropped while a box is open).
        std::function<void(const std::string& text)> Error;
    } Notices;
    void SetEvents(IKivPlayerEvents* events) { FSinks.Host = events; }
    // The automation interface over this widget, and its late-bound sink (null
    // disconnects): events are invoked on it by DISPID on this thread.
    IKivPlayer& Automation();
    // Its second interface, on the same object.
    IKivPlayerNavigation& Navigation();
    void SetDispatchSink(IDispatchSink* sink) { FSinks.Dispatch.Connect(sink); }

    TDetailFrame* frmDetail() const { return FDetail; }
    TNailsFrame* frmNails() const { return FNails; }
    QMenu* pmKiv() const { return FMenu; }
    // Null unless in full screen.
    TfrmFullScreen* frmFullScreen() const { return FFull; }
    TfrmStatus* frmStatus() const { return FStatus; }
    // The image the picture goes to now.
    TImagePic* Picture() const;
    // The menu's two dialogs.
    void ShowStatus();
    void ShowAbout();

    // TWindowTarget: any thread.
    bool Post(uint32_t msg, intptr_t wParam, intptr_t lParam) override;

    // IControlView
    void ShowInFrame(int32_t width, int32_t height, TDisplayMode mode) override;
    void ShowFullScreen(int32_t width, int32_t height) override;
    void CloseFullScreen() override;
    void PictureChanged(const TRect& r, TDisplayMode mode, const IPictureSource& source) override;
    void SourceReleased() override;
    void ThumbnailsCleared() override;
    void ThumbnailAdded(const std::string& path, int32_t seconds,
                        TThumbnailPicture picture) override;
    void ThumbnailLayoutStep(int32_t step) override;
    void ThumbnailsDownloaded() override;
    void ShowError(const std::string& text, TFailureKind kind) override;
    void PositionAnswered(uint32_t ms) override;
    void PlayedToEnd() override;
    void PositionChanged(uint32_t ms) override;
    void ActivityScanned() override;
    void MarkerPassed(uint32_t ms, const std::string& text) override;

    // IKivPlayerEvents, from the core, passed on to the host's sink.
    void OnPlayStateChanged(TStatus state) override;
    void OnPositionChanged(int32_t ms) override;
    void OnDisplayModeChanged(TDisplayMode mode) override;

    // IRetryTimer
    void Start(uint32_t delayMs, std::function<void()> elapsed) override;
    void Cancel() override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void BuildMenu();
    void Guarded(const std::function<void()>& f);
    // Runs f from the event loop, after the handler under way has returned.
    void Later(std::function<void()> f);
    IKivPlayerEvents& Sink() { return FSinks; }
    void timActiveNailsTimer();

    TCtrlEvents FSinks;
    TDetailFrame* FDetail;
    TNailsFrame* FNails;
    QTimer timActiveNails;
    QTimer FRetryTimer;
    std::function<void()> FRetryElapsed;
    QMenu* FMenu;
    QAction *miDisplayMode, *miFull, *miOriginal, *miAdaptive, *miStatus, *miAbout;
    QPointer<TfrmFullScreen> FFull;
    QPointer<TfrmStatus> FStatus;
    QPointer<QMessageBox> FBox;
    std::unique_ptr<TKivPlayerCore> FCore;
    std::unique_ptr<IKivPlayer> FAutomation;
};

} // namespace kiv::ui
