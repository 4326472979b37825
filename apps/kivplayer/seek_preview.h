// The picture and time shown above the seek slider while the pointer hovers
// it. The pictures come from a reader of its own, never from the
// playing source.
#pragma once

#include "preview/previews.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QLabel;
class QSlider;

namespace kivplayer {

class TSeekPreview : public QWidget {
public:
    // Watches the slider's hover; a tool-tip-like window of the slider's window.
    explicit TSeekPreview(QSlider* slider);
    ~TSeekPreview() override;

    // The recording the control opened (empty: none).
    void SetAddress(const std::string& address);
    // Shows the preview of ms above the slider at x (slider coordinates).
    void ShowAt(int x, uint32_t ms);
    void Dismiss();

    // The time shown now, and whether a picture is.
    QString TimeShown() const;
    bool PictureShown() const;
    // Told whenever an answer was put on screen (tests wait on it).
    std::function<void()> Answered;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Show(const kiv::TPreview& preview);
    void Place();

    QSlider* FSlider;
    QLabel* FPicture;
    QLabel* FTime;
    int FX = 0;
    uint64_t FShown = 0; // the request whose answer may be shown
    std::unique_ptr<kiv::IPreviews> FReader;
};

} // namespace kivplayer
