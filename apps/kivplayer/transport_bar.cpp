#include "transport_bar.h"

#include "seek_preview.h"

#include "control/time_text.h"
#include "ui/captions.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>

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
    FSlider = new QSlider(Qt::Horizontal, this);
    FSlider->setObjectName("sliderPosition");
    FSlider->setFocusPolicy(Qt::NoFocus);
    row->addWidget(FSlider, 1);
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
                         uint32_t duration) {
    FPlay->setIcon(style()->standardIcon(state == kiv::vpPlaying ? QStyle::SP_MediaPause
                                                                 : QStyle::SP_MediaPlay));
    FSlider->setEnabled(kiv::SourceIsOpen(state) && !range.Empty());
    if (!FDragging) {
        FSlider->setRange(static_cast<int>(range.First), static_cast<int>(range.Last));
        FSlider->setPageStep(
            std::max<int>(1000, static_cast<int>((range.Last - range.First) / 10)));
        FSlider->setValue(static_cast<int>(position));
    }
    FTime->setText(
        QString::fromStdString(kiv::TimeText(position) + " / " + kiv::TimeText(duration)));
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
