// The scrollable picture frame: lays the picture out for dmAdaptive (fitted by
// the truncating zoom) and dmOriginal (actual size, scroll bars).
#pragma once

#include "control/control_types.h"
#include "ui/image_pic.h"

#include <QScrollArea>

#include <functional>

namespace kiv::ui {

class TDetailFrame : public QScrollArea {
public:
    explicit TDetailFrame(QWidget* parent);

    void SetPicture(int32_t width, int32_t height, TDisplayMode mode);
    void Layout();
    void SetColor(const QColor& color);
    int32_t Zoom() const { return FZoom; }
    TImagePic* imgPic() const { return FImage; }

    // Clicks on the frame or its picture; a double click on the picture; the
    // frame resized (its picture wants repainting).
    std::function<void()> OnClick, OnDblClick, OnResized;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void FrameResize();

    QWidget* FCanvas;
    TImagePic* FImage;
    int32_t PictureWidth = 0;
    int32_t PictureHeight = 0;
    TDisplayMode FDisplayMode = dmAdaptive;
    int32_t FZoom = 100;
};

} // namespace kiv::ui
