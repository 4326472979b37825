#include "ui/detail_frame.h"

#include <QMouseEvent>
#include <QScrollBar>

namespace kiv::ui {

TDetailFrame::TDetailFrame(QWidget* parent)
    : QScrollArea(parent), FCanvas(new QWidget), FImage(new TImagePic(FCanvas)) {
    setObjectName("frmDetail");
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    SetColor(Qt::white);
    FCanvas->setAutoFillBackground(false);
    setWidget(FCanvas);
    horizontalScrollBar()->setSingleStep(27);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FImage->OnClick = [this] {
        if (OnClick) OnClick();
    };
    FImage->OnDblClick = [this] {
        if (OnDblClick) OnDblClick();
    };
}

void TDetailFrame::SetColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    p.setColor(QPalette::Base, color);
    setPalette(p);
    viewport()->setPalette(p);
    viewport()->setAutoFillBackground(true);
}

void TDetailFrame::SetPicture(int32_t width, int32_t height, TDisplayMode mode) {
    PictureWidth = width;
    PictureHeight = height;
    FDisplayMode = mode;
    Layout();
}

void TDetailFrame::Layout() {
    const int32_t pw = PictureWidth, ph = PictureHeight;
    const int32_t fw = width(), fh = height();
    if (pw == 0 || ph == 0) return;
    if (FDisplayMode == dmAdaptive) {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        FCanvas->resize(fw, fh);
        if (fw >= pw && fh >= ph) {
            FImage->setGeometry((fw - pw) / 2, (fh - ph) / 2, pw, ph);
            FZoom = 100;
        } else {
            FZoom = int64_t{fw} * ph - int64_t{pw} * fh <= 0 ? fw * 100 / pw : fh * 100 / ph;
            const int32_t h = ph * FZoom / 100, w = pw * FZoom / 100;
            FImage->setGeometry((fw - w) / 2, (fh - h) / 2, w, h);
        }
    } else if (FDisplayMode == dmOriginal) {
        if (horizontalScrollBar()->isVisible()) horizontalScrollBar()->setValue(0);
        if (verticalScrollBar()->isVisible()) verticalScrollBar()->setValue(0);
        int32_t left = 0, top = 0;
        if (pw < fw)
            left = (fw - pw) / 2;
        else
            setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        if (ph < fh)
            top = (fh - ph) / 2;
        else
            setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        FCanvas->resize(std::max(left + pw, viewport()->width()),
                        std::max(top + ph, viewport()->height()));
        FImage->setGeometry(left, top, pw, ph);
    }
    FImage->SizeBitmap();
}

void TDetailFrame::FrameResize() {
    Layout();
    if (OnResized) OnResized();
}

void TDetailFrame::resizeEvent(QResizeEvent* e) {
    QScrollArea::resizeEvent(e);
    FrameResize();
}

void TDetailFrame::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && OnClick)
        OnClick();
    else
        e->ignore();
}

} // namespace kiv::ui
