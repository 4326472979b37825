#include "ui/detail_frame.h"

#include "control/frame_layout.h"

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
    const std::optional<TFrameLayout> l =
        LayOutFrame({width(), height()}, {PictureWidth, PictureHeight}, FDisplayMode, FZoom);
    if (!l) return;
    // Every layout starts from the picture's top left corner.
    if (horizontalScrollBar()->isVisible()) horizontalScrollBar()->setValue(0);
    if (verticalScrollBar()->isVisible()) verticalScrollBar()->setValue(0);
    auto policy = [](TScrollBar bar, Qt::ScrollBarPolicy before) {
        if (bar == TScrollBar::AsBefore) return before;
        return bar == TScrollBar::Shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    };
    setHorizontalScrollBarPolicy(policy(l->Horizontal, horizontalScrollBarPolicy()));
    setVerticalScrollBarPolicy(policy(l->Vertical, verticalScrollBarPolicy()));
    FZoom = l->Zoom;
    // The viewport is what the bars now leave.
    const TSize view{viewport()->width(), viewport()->height()};
    const TSize range = ScrollRange(l->Image, view);
    FCanvas->resize(view.Width + range.Width, view.Height + range.Height);
    const TRect& r = l->Image;
    FImage->setGeometry(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
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
