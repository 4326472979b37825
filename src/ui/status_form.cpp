#include "ui/status_form.h"

#include "control/time_text.h"
#include "ui/captions.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace kiv::ui {

TfrmStatus::TfrmStatus(QWidget* parent, std::function<TStatistics()> statistics)
    : QWidget(parent, Qt::Widget), FStatistics(std::move(statistics)) {
    setObjectName("frmStatus");
    setWindowTitle(Caption(TCaption::StatusForm));
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QFont f("Arial");
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(381, 151);
    gbBuffer = new QGroupBox(Caption(TCaption::BufferGroup), this);
    gbBuffer->setObjectName("gbBuffer");
    gbBuffer->setGeometry(16, 12, 345, 93);
    AddLabel("labFrom2", 21, 22, 36, 15, Caption(TCaption::From));
    labFrom = AddLabel("labFrom", 68, 22, 48, 15, "00:00:00");
    AddLabel("labTo2", 21, 46, 36, 15, Caption(TCaption::To));
    labTo = AddLabel("labTo", 68, 46, 48, 15, "00:00:00");
    AddLabel("labFrames2", 185, 22, 36, 15, Caption(TCaption::Frames));
    labFrames = AddLabel("labFrames", 235, 23, 9, 15, "0");
    AddLabel("labBytes2", 185, 46, 36, 15, Caption(TCaption::Bytes));
    labBytes = AddLabel("labBytes", 234, 46, 17, 15, "0K");
    AddLabel("labBPS2", 21, 68, 36, 15, Caption(TCaption::Speed));
    labBPS = AddLabel("labBPS", 68, 68, 37, 15, "0 kbps");
    AddLabel("labDuration2", 185, 68, 36, 15, Caption(TCaption::Length));
    labDuration = AddLabel("labDuration", 234, 68, 50, 15, "00:00:00");
    btnClose = new QPushButton(Caption(TCaption::Close), this);
    btnClose->setObjectName("btnClose");
    btnClose->setGeometry(156, 121, 75, 20);
    QObject::connect(btnClose, &QPushButton::clicked, this, [this] { close(); });
    timRefresh.setObjectName("timRefresh");
    timRefresh.setInterval(500);
    QObject::connect(&timRefresh, &QTimer::timeout, this, [this] { Refresh(); });
    timRefresh.start();
}

QLabel* TfrmStatus::AddLabel(const char* name, int x, int y, int w, int h, const QString& text) {
    auto* l = new QLabel(text, gbBuffer);
    l->setObjectName(name);
    // Labels size themselves to their text, as the form's did.
    l->move(x, y);
    l->setMinimumSize(w, h);
    l->adjustSize();
    return l;
}

void TfrmStatus::ShowAndRefresh() {
    move(0, 0);
    Refresh();
    show();
    raise();
}

void TfrmStatus::Refresh() {
    const TStatistics s = FStatistics();
    // Without a reading thread the figures stay as they were.
    if (!s.Reading) return;
    auto set = [](QLabel* l, const QString& text) {
        l->setText(text);
        l->adjustSize();
    };
    auto time = [](uint32_t ms) { return QString::fromStdString(TimeText(ms)); };
    set(labFrom, time(s.FirstTimeStamp));
    set(labTo, time(s.LastTimeStamp));
    set(labFrames, QString::number(s.Samples));
    set(labBytes, QString::number(static_cast<uint32_t>(s.Bytes) >> 10) + "K");
    set(labBPS, QString::number(s.BitRate) + " Kbps");
    set(labDuration, time(s.Duration));
}

} // namespace kiv::ui
