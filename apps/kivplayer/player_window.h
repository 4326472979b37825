// The kivplayer window: the control above the transport bar, the menu of
// files and addresses, drops, and the keys.
#pragma once

#include "control/seek_range.h"
#include "options.h"
#include "transport_bar.h"
#include "ui/kiv_player_ctrl.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <memory>

class QMenu;

namespace kiv {
struct TExportResult;
}

namespace kivplayer {

class TExportRun;

class TPlayerWindow : public QMainWindow, public kiv::IKivPlayerEvents {
public:
    explicit TPlayerWindow(const TOptions& options);
    // The control goes first: it tells this window, its sink, that it is destroyed.
    ~TPlayerWindow() override;

    kiv::ui::TKivPlayerCtrl& Control() { return *FCtrl; }
    // Closes what is open and opens address; failures go to the control's boxes.
    void OpenAddress(const QString& address);
    // Told of every change of play state the control fires.
    std::function<void(kiv::TStatus)> StateChanged;
    std::function<void(kiv::TDisplayMode)> ModeChanged;
    // File → Export…: the dialog for what is open; the export runs on a worker.
    void ShowExport();
    // Told when an export ends (written, failed or cancelled).
    std::function<void(const kiv::TExportResult&)> ExportDone;

    void OnPlayStateChanged(kiv::TStatus state) override;
    void OnPositionChanged(int32_t ms) override;
    void OnDisplayModeChanged(kiv::TDisplayMode mode) override;
    // A thumbnail was clicked: the player, not the control, moves there.
    void OnSkip(int32_t seconds) override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void BuildMenu();
    void BuildKeys();
    void RefreshBar();
    // The activity strip, at most once a second while playing, at once when asked.
    void RefreshActivity(bool now);
    void ChangeRate(double rate);
    // The first window shows the recording at its actual size where the screen allows.
    void FitToRecording();
    void RefreshRecent();
    void Check(kiv::HRESULT hr);
    void PlayPause();
    void SeekTo(int64_t ms);
    // The range a seek may reach: the recording, or what a live source buffered.
    kiv::TSeekRange SeekRange();

    kiv::ui::TKivPlayerCtrl* FCtrl;
    TTransportBar* FBar;
    QMenu* FRecent = nullptr;
    bool FFitPending = false;            // no size given or remembered: fit the first recording
    QElapsedTimer FActivityShown;        // when the strip was last refreshed
    std::unique_ptr<TExportRun> FExport; // the export under way, if any
};

} // namespace kivplayer
