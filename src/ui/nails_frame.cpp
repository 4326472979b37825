#include "ui/nails_frame.h"

#include <QBoxLayout>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <vector>

namespace kiv::ui {

namespace {

// The bar between the picture and the strip; dragging it sets the strip's height.
class TNailsSplitter : public QWidget {
public:
    static constexpr int kMinSize = 30;

    TNailsSplitter(QWidget* parent, QWidget* panel) : QWidget(parent), FPanel(panel) {
        setObjectName("splNails");
        setFixedHeight(2);
        setCursor(Qt::SizeVerCursor);
        QPalette p = palette();
        p.setColor(QPalette::Window, p.color(QPalette::Button));
        setPalette(p);
        setAutoFillBackground(true);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        FDragging = e->button() == Qt::LeftButton;
        FStartY = e->globalPosition().y();
        FStartHeight = FPanel->height();
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!FDragging) return;
        const int room = parentWidget()->height() - kMinSize;
        const int h = FStartHeight - static_cast<int>(e->globalPosition().y() - FStartY);
        FPanel->setFixedHeight(std::clamp(h, kMinSize, std::max(kMinSize, room)));
    }
    void mouseReleaseEvent(QMouseEvent*) override { FDragging = false; }

private:
    QWidget* FPanel;
    bool FDragging = false;
    double FStartY = 0;
    int FStartHeight = 0;
};

} // namespace

TNailsFrame::TNailsFrame(QWidget* parent) : QScrollArea(parent), FCanvas(new QWidget) {
    setObjectName("frmNails");
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // until the first thumbnail
    setWidgetResizable(false);
    setWidget(FCanvas);
    SetBackgroundColor(Qt::black);
    hide();
    FQueueTimer.setSingleShot(true);
    FQueueTimer.setInterval(0);
    connect(&FQueueTimer, &QTimer::timeout, this, [this] { AddQueuedNails(); });
}

TNailsFrame::~TNailsFrame() {
    ClearNails();
    delete FSplitter.data();
}

void TNailsFrame::SetBackgroundColor(const QColor& color) {
    for (QWidget* w : {static_cast<QWidget*>(this), viewport(), FCanvas}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, color);
        w->setPalette(p);
        w->setAutoFillBackground(true);
    }
}

void TNailsFrame::setVisible(bool visible) {
    QScrollArea::setVisible(visible);
    if (FSplitter) FSplitter->setVisible(visible);
}

TNail* TNailsFrame::Nail(int32_t index) const {
    return index >= 0 && index < FNailCount ? FNails[size_t(index)].get() : nullptr;
}

void TNailsFrame::Reset() {
    FQueued.clear();
    FQueueTimer.stop();
    ClearNails();
    hide();
}

void TNailsFrame::QueueNail(const std::string& path, int32_t seconds, TThumbnailPicture picture) {
    FQueued.push_back({path, seconds, std::move(picture)});
    if (!FQueueTimer.isActive()) FQueueTimer.start();
}

void TNailsFrame::AddQueuedNails() {
    // Under a frame's time in one go, so that input and painting keep up.
    constexpr qint64 kBudgetNs = 4'000'000;
    QElapsedTimer spent;
    spent.start();
    while (!FQueued.empty() && (spent.nsecsElapsed() < kBudgetNs)) {
        const TQueued next = std::move(FQueued.front());
        FQueued.pop_front();
        AddNail(next.Path, next.Seconds, next.Picture);
    }
    if (!FQueued.empty()) FQueueTimer.start();
}

void TNailsFrame::ShowSplitter() {
    if (!FSplitter && parentWidget()) {
        FSplitter = new TNailsSplitter(parentWidget(), this);
        if (auto* box = qobject_cast<QBoxLayout*>(parentWidget()->layout()))
            box->insertWidget(box->indexOf(this), FSplitter);
        else
            FSplitter->setGeometry(x(), y() - 2, width(), 2);
    }
    if (FSplitter) FSplitter->show();
}

void TNailsFrame::AddNail(const std::string& path, int32_t seconds,
                          const TThumbnailPicture& picture) {
    if (isHidden()) {
        show();
        ShowSplitter();
        // The width the strip gets, before the first cell is placed by it.
        if (parentWidget() && parentWidget()->layout()) parentWidget()->layout()->activate();
    }
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    if (FNailCount >= int32_t(kMaxNailsShown)) return;
    auto nail = std::make_unique<TNail>(FCanvas, FNailCount);
    nail->SetFileName(QFile::decodeName(QByteArray::fromStdString(path)), picture);
    nail->SetTime(seconds);
    FColumns = ComputeColumns();
    FNails[size_t(FNailCount)] = std::move(nail);
    PlaceAfter(FNailCount);
    TNail& added = *FNails[size_t(FNailCount)];
    added.OnClick = [this](TNail& n) { NailClick(n); };
    added.SetCurrent(false);
    ++FNailCount;
    FitCanvas();
    if (NailAdded) NailAdded();
}

void TNailsFrame::LayoutNail(int32_t index) {
    // A step queued before the cells were replaced may name one that is gone.
    if (index < 1 || index >= FNailCount) return;
    PlaceAfter(index);
    FitCanvas();
}

void TNailsFrame::PlaceAfter(int32_t index) {
    TNail& nail = *FNails[size_t(index)];
    if (index == 0) {
        nail.SetPlace({});
        return;
    }
    const TNail& previous = *FNails[size_t(index - 1)];
    nail.SetPlace(PlaceNailAfter(index, FColumns, previous.Place(), previous.Height()));
}

void TNailsFrame::SelectNailByTime(int32_t seconds) {
    std::vector<int32_t> times(static_cast<size_t>(FNailCount));
    for (int32_t i = 0; i < FNailCount; ++i)
        times[size_t(i)] = FNails[size_t(i)]->Time();
    const int32_t i = ChooseNailByTime(times, seconds);
    if (i < 0 || FNails[size_t(i)].get() == FCurrentNail) return;
    TNail* nail = FNails[size_t(i)].get();
    MakeCurrent(nail);
    QScrollBar* bar = verticalScrollBar();
    const int32_t topInView = nail->Place().Top - bar->value();
    if (topInView != kNailOrigin) bar->setValue(NailScrollPosition(bar->value(), topInView));
}

void TNailsFrame::ClearNails() {
    FCurrentNail = nullptr;
    for (int32_t i = FNailCount; i-- > 0;)
        FNails[size_t(i)].reset();
    FNailCount = 0;
    FitCanvas();
}

void TNailsFrame::MakeCurrent(TNail* nail) {
    if (FCurrentNail) FCurrentNail->SetCurrent(false);
    FCurrentNail = nail;
    if (nail) nail->SetCurrent(true);
    if (CurrentChanged) CurrentChanged(nail);
}

void TNailsFrame::NailClick(TNail& nail) {
    MakeCurrent(&nail);
    // The strip never moves the position: the host decides.
    if (OnSkip) OnSkip(nail.Time());
}

int32_t TNailsFrame::ComputeColumns() const {
    return NailColumns(
        width(), style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar()));
}

void TNailsFrame::FitCanvas() {
    int32_t bottom = 0;
    for (int32_t i = 0; i < FNailCount; ++i) {
        const TNail& n = *FNails[size_t(i)];
        bottom = std::max(bottom, n.Place().Top + n.Height());
    }
    FCanvas->resize(viewport()->width(), FNailCount ? bottom + kNailGap : 0);
}

void TNailsFrame::resizeEvent(QResizeEvent* e) {
    QScrollArea::resizeEvent(e);
    FitCanvas();
    if (FNailCount == 0) return;
    const int32_t columns = ComputeColumns();
    if (columns == FColumns) return;
    FColumns = columns;
    if (OnRelayout) OnRelayout(FNailCount);
}

} // namespace kiv::ui
