#include "ui/image_pic.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kiv::ui {

namespace {

// Blue-green-red rows in memory are the first three bytes of each 32-bit pixel
// of Format_RGB32: the copy only adds the fourth.
void ExpandPlain(uint32_t* out, const uint8_t* in, int n) {
    for (int i = 0; i < n; ++i, in += 3)
        out[i] = 0xFF000000u | uint32_t{in[2]} << 16 | uint32_t{in[1]} << 8 | in[0];
}

#if defined(__x86_64__)
[[gnu::target("ssse3")]] void ExpandSsse3(uint32_t* out, const uint8_t* in, int n) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    // Each step reads 16 bytes and uses 12: only while the row still has them.
    for (; i + 6 <= n; i += 4, in += 12) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_or_si128(_mm_shuffle_epi8(v, spread), alpha));
    }
    ExpandPlain(out + i, in, n - i);
}
#endif

void Expand(uint32_t* out, const uint8_t* in, int n) {
#if defined(__x86_64__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) return ExpandSsse3(out, in, n);
#endif
    ExpandPlain(out, in, n);
}

} // namespace

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
            Expand(reinterpret_cast<uint32_t*>(FPaint.scanLine(y)),
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
