#include "ui/image_pic.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace kiv::ui {

TImagePic::TImagePic(QWidget* parent) : QWidget(parent) {
    setObjectName("imgPic");
    // Every pixel comes from the bitmap: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void TImagePic::SizeBitmap() {
    if (FBitmap.size() == size() && !FBitmap.isNull()) return;
    FBitmap = QImage(std::max(width(), 0), std::max(height(), 0), QImage::Format_BGR888);
    FBitmap.fill(Qt::black);
}

TPixels TImagePic::Pixels() {
    if (FBitmap.isNull()) return {};
    return {FBitmap.bits(), static_cast<size_t>(FBitmap.bytesPerLine()), FBitmap.width(),
            FBitmap.height()};
}

void TImagePic::paintEvent(QPaintEvent* e) {
    const QRect r = e->rect() & FBitmap.rect();
    if (!r.isEmpty()) {
        // Qt's own path for 24-bit sources converts slowly; the backing store
        // takes 32-bit pixels as they are.
        if (FPaint.width() < r.width() || FPaint.height() < r.height())
            FPaint = QImage(std::max(r.width(), FPaint.width()),
                            std::max(r.height(), FPaint.height()), QImage::Format_RGB32);
        for (int y = 0; y < r.height(); ++y)
            ExpandRow(reinterpret_cast<uint32_t*>(FPaint.scanLine(y)),
                      FBitmap.constScanLine(r.top() + y) + 3 * r.left(), r.width());
        QPainter p(this);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(r.topLeft(), FPaint, QRect(0, 0, r.width(), r.height()));
    }
    if (OnPainted) OnPainted(r);
}

void TImagePic::mousePressEvent(QMouseEvent* e) {
    // Right presses belong to the form's menu.
    e->setAccepted(e->button() != Qt::RightButton);
}

void TImagePic::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        if (OnClick) OnClick();
    } else if (e->button() == Qt::RightButton && OnRightUp) {
        OnRightUp();
        return;
    } else {
        e->ignore();
        return;
    }
}

void TImagePic::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && OnDblClick)
        OnDblClick();
    else
        e->ignore();
}

} // namespace kiv::ui
