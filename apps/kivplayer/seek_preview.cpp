#include "seek_preview.h"

#include "control/time_text.h"

#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

namespace kivplayer {

TSeekPreview::TSeekPreview(QSlider* slider)
    : QWidget(slider->window(), Qt::ToolTip | Qt::FramelessWindowHint), FSlider(slider) {
    setObjectName("seekPreview");
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(1);
    FPicture = new QLabel(this);
    FPicture->setObjectName("imgPreview");
    FPicture->hide();
    column->addWidget(FPicture, 0, Qt::AlignHCenter);
    FTime = new QLabel(this);
    FTime->setObjectName("labPreviewTime");
    column->addWidget(FTime, 0, Qt::AlignHCenter);
    // The reader answers on its own thread; the answer is shown on this one.
    FReader = kiv::NewPreviews([this](const kiv::TPreview& p) {
        QMetaObject::invokeMethod(
            this, [this, p] { Show(p); }, Qt::QueuedConnection);
    });
    slider->setMouseTracking(true);
    slider->installEventFilter(this);
}

// The reader's thread ends before the labels go.
TSeekPreview::~TSeekPreview() = default;

void TSeekPreview::SetAddress(const std::string& address) {
    Dismiss();
    FReader->SetAddress(address);
}

void TSeekPreview::ShowAt(int x, uint32_t ms) {
    FX = x;
    FShown = FReader->Request(ms);
    // The time at once; the picture stays until the new one comes.
    FTime->setText(QString::fromStdString(kiv::TimeText(ms)));
    Place();
    show();
}

void TSeekPreview::Dismiss() {
    FReader->Cancel();
    FShown = 0;
    hide();
}

QString TSeekPreview::TimeShown() const {
    return isVisible() ? FTime->text() : QString();
}

bool TSeekPreview::PictureShown() const {
    return isVisible() && FPicture->isVisible();
}

void TSeekPreview::Show(const kiv::TPreview& p) {
    if (p.Request != FShown || !isVisible()) return;
    if (p.Picture) {
        const kiv::TBitmap24& b = *p.Picture;
        const QImage image(b.Bits(), b.Width(), b.Height(), static_cast<qsizetype>(b.Stride()),
                           QImage::Format_BGR888);
        FPicture->setPixmap(QPixmap::fromImage(image)); // a deep copy
        FPicture->show();
    } else {
        FPicture->hide();
    }
    Place();
    if (Answered) Answered();
}

void TSeekPreview::Place() {
    adjustSize();
    const QPoint at = FSlider->mapToGlobal(QPoint(FX - width() / 2, -height() - 4));
    move(at);
}

bool TSeekPreview::eventFilter(QObject* watched, QEvent* e) {
    if (watched == FSlider) {
        if (e->type() == QEvent::MouseMove && FSlider->isEnabled() &&
            FSlider->maximum() > FSlider->minimum()) {
            const int x = static_cast<QMouseEvent*>(e)->position().toPoint().x();
            const int value = QStyle::sliderValueFromPosition(
                FSlider->minimum(), FSlider->maximum(), x, std::max(1, FSlider->width()));
            ShowAt(x, static_cast<uint32_t>(std::max(0, value)));
        } else if (e->type() == QEvent::Leave || e->type() == QEvent::Hide ||
                   e->type() == QEvent::EnabledChange) {
            Dismiss();
        }
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace kivplayer
