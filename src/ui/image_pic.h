// An image control: a 24-bit bitmap the control paints into, shown as it is.
#pragma once

#include "control/picture_copy.h"

#include <QImage>
#include <QWidget>

#include <functional>

namespace kiv::ui {

class TImagePic : public QWidget {
public:
    explicit TImagePic(QWidget* parent);

    // Sizes the bitmap to the control; a new size starts black.
    void SizeBitmap();
    const QImage& Bitmap() const { return FBitmap; }
    TPixels Pixels();

    std::function<void()> OnClick, OnDblClick, OnRightUp;
    // After each paint, with its bounding rectangle (for measurements).
    std::function<void(const QRect&)> OnPainted;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QImage FBitmap;
    QImage FPaint; // the painted rectangle in the backing store's format, reused
};

} // namespace kiv::ui
