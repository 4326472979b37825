// The statistics dialog: the buffering figures of one control, twice a second,
// inside the control's area.
#pragma once

#include "control/control_types.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;

namespace kiv::ui {

class TfrmStatus : public QWidget {
public:
    // parent: the control, which clips the dialog; statistics: its figures.
    TfrmStatus(QWidget* parent, std::function<TStatistics()> statistics);

    // Shows it at the parent's top-left corner with fresh figures.
    void ShowAndRefresh();
    void Refresh();

private:
    QLabel* AddLabel(const char* name, int x, int y, int w, int h, const QString& text);

    std::function<TStatistics()> FStatistics;
    QGroupBox* gbBuffer;
    QLabel *labFrom, *labTo, *labFrames, *labBytes, *labBPS, *labDuration;
    QPushButton* btnClose;
    QTimer timRefresh;
};

} // namespace kiv::ui
