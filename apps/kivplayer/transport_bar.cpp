#include "transport_bar.h"

#include "activity_strip.h"
#include "seek_preview.h"
#include "window_captions.h"

#include "control/time_text.h"
#include "ui/captions.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace kivplayer {

TTransportBar::TTransportBar(QWidget* parent) : QWidget(parent) {
    setObjectName("transportBar");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    auto button = [&](const char* name, QStyle::StandardPixmap icon, std::function<void()>* f) {
        auto* b = new QPushButton(style()->standardIcon(icon), QString(), this);
        b->setObjectName(name);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, [f] {
            if (*f) (*f)();
        });
        row->addWidget(b);
        return b;
    };
    FPlay = button("btnPlay", QStyle::SP_MediaPlay, &OnPlayPause);
    FStop = button("btnStop", QStyle::SP_MediaStop, &OnStop);
    FForward = button("btnForward", QStyle::SP_MediaSeekForward, &OnFastForward);
    // The slider takes the bar's free width, its activity strip under it.
    auto* track = new QVBoxLayout;
    track->setSpacing(0);
    FSlider = new QSlider(Qt::Horizontal, this);
    FSlider->setObjectName("sliderPosition");
    FSlider->setFocusPolicy(Qt::NoFocus);
    FSlider->setMinimumWidth(120);
    track->addWidget(FSlider);
    FActivity = new TActivityStrip(this);
    track->addWidget(FActivity);
    row->addLayout(track, 1);
    FPreview = new TSeekPreview(FSlider);
    FTime = new QLabel("00:00:00 / 00:00:00", this);
    FTime->setObjectName("labTime");
    row->addWidget(FTime);
    FMode = new QComboBox(this);
    FMode->setObjectName("cbMode");
    FMode->setFocusPolicy(Qt::NoFocus);
    using kiv::ui::Caption;
    using kiv::ui::TCaption;
    FMode->addItem(Caption(TCaption::Adaptive), kiv::dmAdaptive);
    FMode->addItem(Caption(TCaption::Original), kiv::dmOriginal);
    FMode->addItem(Caption(TCaption::Full), kiv::dmFull);
    row->addWidget(FMode);
    FSpeed = new QToolButton(this);
    FSpeed->setObjectName("btnSpeed");
    FSpeed->setToolTip(Text(TText::Speed));
    FSpeed->setFocusPolicy(Qt::NoFocus);
    FSpeed->setPopupMode(QToolButton::InstantPopup);
    auto* rates = new QMenu(FSpeed);
    for (double r : {0.25, 0.5, 1.0, 1.5, 2.0, 4.0, 8.0, 16.0})
        rates->addAction(QString::number(r) + "x", this, [this, r] {
            if (OnRate) OnRate(r);
        });
    FSpeed->setMenu(rates);
    row->addWidget(FSpeed);
    FSkipIdle = new QToolButton(this);
    FSkipIdle->setObjectName("btnSkipIdle");
    FSkipIdle->setText(Text(TText::SkipIdle));
    FSkipIdle->setCheckable(true);
    FSkipIdle->setFocusPolicy(Qt::NoFocus);
    connect(FSkipIdle, &QToolButton::toggled, this, [this](bool on) {
        if (!FShowing && OnSkipIdle) OnSkipIdle(on);
    });
    row->addWidget(FSkipIdle);
    ShowRate(1);

    connect(FSlider, &QSlider::sliderPressed, this, [this] { FDragging = true; });
    connect(FSlider, &QSlider::sliderReleased, this, [this] {
        FDragging = false;
        if (OnSeek) OnSeek(static_cast<uint32_t>(FSlider->value()));
    });
    connect(FSlider, &QSlider::actionTriggered, this, [this](int action) {
        // Clicks on the groove seek at once; a drag seeks when released.
        if (action != QAbstractSlider::SliderMove && OnSeek)
            OnSeek(static_cast<uint32_t>(FSlider->sliderPosition()));
    });
    connect(FMode, &QComboBox::activated, this, [this](int i) {
        if (!FShowing && OnMode) OnMode(static_cast<kiv::TDisplayMode>(FMode->itemData(i).toInt()));
    });
}

void TTransportBar::Show(kiv::TStatus state, uint32_t position, const kiv::TSeekRange& range,
                         uint32_t duration, bool live) {
    FPlay->setIcon(style()->standardIcon(state == kiv::vpPlaying ? QStyle::SP_MediaPause
                                                                 : QStyle::SP_MediaPlay));
    FSlider->setEnabled(kiv::SourceIsOpen(state) && !range.Empty());
    if (!FDragging) {
        FSlider->setRange(static_cast<int>(range.First), static_cast<int>(range.Last));
        FSlider->setPageStep(
            std::max<int>(1000, static_cast<int>((range.Last - range.First) / 10)));
        FSlider->setValue(static_cast<int>(position));
    }
    // A live source has no duration: where the position stands in what is buffered.
    if (live)
        FTime->setText(Text(TText::Live) + " " +
                       QString::fromStdString(
                           kiv::TimeText(position > range.First ? position - range.First : 0) +
                           " / " + kiv::TimeText(range.Empty() ? 0 : range.Last - range.First)));
    else
        FTime->setText(
            QString::fromStdString(kiv::TimeText(position) + " / " + kiv::TimeText(duration)));
}

void TTransportBar::ShowRate(double rate) {
    FSpeed->setText(QString::number(rate, 'g', 3) + "x");
}

void TTransportBar::ShowSkipIdle(bool on) {
    FShowing = true;
    FSkipIdle->setChecked(on);
    FShowing = false;
}

void TTransportBar::SetPreviewAddress(const std::string& address) {
    FPreview->SetAddress(address);
}

void TTransportBar::ShowMode(kiv::TDisplayMode mode) {
    FShowing = true;
    FMode->setCurrentIndex(FMode->findData(mode));
    FShowing = false;
}

} // namespace kivplayer
