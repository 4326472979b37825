#include "activity_strip.h"

#include "control/time_text.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace kivplayer {

TActivityStrip::TActivityStrip(QWidget* parent) : QWidget(parent) {
    setObjectName("stripActivity");
    setFixedHeight(6);
    setMouseTracking(true);
}

void TActivityStrip::SetActivity(uint32_t first, uint32_t last,
                                 std::vector<kiv::TActivitySecond> seconds,
                                 std::vector<kiv::TIdleStretch> idle,
                                 std::vector<kiv::TMarker> markers) {
    FFirst = first;
    FLast = last;
    FSeconds = std::move(seconds);
    FIdle = std::move(idle);
    FMarkers = std::move(markers);
    update();
}

int TActivityStrip::XOf(uint32_t ms) const {
    if (FLast <= FFirst || ms <= FFirst) return 0;
    const double f = double(std::min(ms, FLast) - FFirst) / double(FLast - FFirst);
    return static_cast<int>(f * (width() - 1));
}

const kiv::TMarker* TActivityStrip::MarkerAt(int x) const {
    for (const kiv::TMarker& m : FMarkers)
        if (m.Time >= FFirst && m.Time <= FLast && std::abs(XOf(m.Time) - x) <= 3) return &m;
    return nullptr;
}

void TActivityStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window).darker(110));
    if (FLast <= FFirst || width() < 2) return;
    // Each column the busiest second that covers it, on a log scale so that a key
    // frame does not drown the rest; a second wider than a column covers all of its
    // columns (a short recording is not a row of single lines).
    const int w = width();
    std::vector<double> column(size_t(w), 0);
    double most = 0;
    for (const kiv::TActivitySecond& s : FSeconds) {
        const uint64_t at = uint64_t{s.Second} * 1000;
        if (at < FFirst || at > FLast) continue;
        const double v = std::log1p(double(s.PictureBytes) / 1024 + 4.0 * s.PointerSamples);
        const int from = XOf(static_cast<uint32_t>(at));
        const int to =
            std::max(from + 1, XOf(static_cast<uint32_t>(std::min<uint64_t>(at + 1000, FLast))));
        for (int x = from; x < to && x < w; ++x)
            column[size_t(x)] = std::max(column[size_t(x)], v);
        most = std::max(most, v);
    }
    for (int x = 0; x < w && most > 0; ++x) {
        if (column[size_t(x)] <= 0) continue;
        const double f = column[size_t(x)] / most;
        p.fillRect(x, 0, 1, height(), QColor::fromHsvF(0.6 * (1 - f), 0.9, 0.5 + 0.5 * f));
    }
    for (const kiv::TIdleStretch& i : FIdle) {
        if (i.To < FFirst || i.From > FLast) continue;
        const int x0 = XOf(i.From), x1 = XOf(i.To);
        p.fillRect(x0, 0, std::max(1, x1 - x0), height(), QColor(128, 128, 128, 200));
    }
    for (const kiv::TMarker& m : FMarkers)
        if (m.Time >= FFirst && m.Time <= FLast)
            p.fillRect(XOf(m.Time), 0, 2, height(), QColor(255, 220, 0));
}

bool TActivityStrip::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        if (const kiv::TMarker* m = MarkerAt(help->pos().x())) {
            const std::string text =
                kiv::TimeText(m->Time) + (m->Text.empty() ? "" : " " + m->Text);
            QToolTip::showText(help->globalPos(), QString::fromStdString(text), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(e);
}

} // namespace kivplayer
