// The heat strip under the seek slider: how much each stretch of the recording
// changes (picture bytes and pointer moves), idle stretches greyed, markers as
// ticks whose labels show on hover.
#pragma once

#include "format/activity.h"

#include <QWidget>

#include <vector>

namespace kivplayer {

class TActivityStrip : public QWidget {
public:
    explicit TActivityStrip(QWidget* parent);

    // The range the slider spans (ms) and what lies in it.
    void SetActivity(uint32_t first, uint32_t last, std::vector<kiv::TActivitySecond> seconds,
                     std::vector<kiv::TIdleStretch> idle, std::vector<kiv::TMarker> markers);
    const std::vector<kiv::TMarker>& Markers() const { return FMarkers; }
    // The marker drawn at x, or null.
    const kiv::TMarker* MarkerAt(int x) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;

private:
    int XOf(uint32_t ms) const;

    uint32_t FFirst = 0, FLast = 0;
    std::vector<kiv::TActivitySecond> FSeconds;
    std::vector<kiv::TIdleStretch> FIdle;
    std::vector<kiv::TMarker> FMarkers;
};

} // namespace kivplayer
