// The bar under the control: play/pause, stop, fast forward, the seek slider
// with the position and duration, and the display mode.
#pragma once

#include "control/seek_range.h"

#include <QWidget>

#include <functional>
#include <string>

class QComboBox;
class QToolButton;
class QLabel;
class QPushButton;
class QSlider;

namespace kivplayer {

class TSeekPreview;
class TActivityStrip;

class TTransportBar : public QWidget {
public:
    explicit TTransportBar(QWidget* parent);

    // The seekable range (a live source: what is buffered) and the position, in ms.
    void Show(kiv::TStatus state, uint32_t position, const kiv::TSeekRange& range,
              uint32_t duration, bool live = false);
    void ShowRate(double rate);
    void ShowSkipIdle(bool on);
    TActivityStrip* Activity() const { return FActivity; }
    void ShowMode(kiv::TDisplayMode mode);
    // The recording the slider's hover previews come from (empty: none).
    void SetPreviewAddress(const std::string& address);
    TSeekPreview* Preview() const { return FPreview; }

    std::function<void()> OnPlayPause, OnStop, OnFastForward;
    std::function<void(uint32_t ms)> OnSeek;
    std::function<void(kiv::TDisplayMode)> OnMode;
    std::function<void(double rate)> OnRate;
    std::function<void(bool on)> OnSkipIdle;

private:
    QPushButton *FPlay, *FStop, *FForward;
    QSlider* FSlider;
    QLabel* FTime;
    QComboBox* FMode;
    QToolButton *FSpeed, *FSkipIdle;
    TActivityStrip* FActivity;
    TSeekPreview* FPreview;
    bool FDragging = false;
    bool FShowing = false;
};

} // namespace kivplayer
