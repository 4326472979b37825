// TNail: one cell of the thumbnail strip. Not a widget itself: it owns four
// children of the strip's canvas (outline, picture, time, number) and moves
// them together.
#pragma once

#include "control/control_view.h"
#include "nails/nail_grid.h"

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace kiv::ui {

// The picture: stretched into 60 x 60, a hand cursor, one click per click
// (the second press of a double click fires nothing).
class TNailPic : public QLabel {
public:
    explicit TNailPic(QWidget* parent);
    std::function<void()> OnClick;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    bool FPressed = false;
};

// The 2-pixel outline of the current cell.
class TNailRect : public QWidget {
public:
    explicit TNailRect(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* e) override;
};

class TNail {
public:
    static constexpr int32_t kPictureSize = 60;
    static inline const QColor kCurrentColor{0, 255, 0};
    static inline const QColor kOtherColor{255, 255, 0};

    // canvas: the strip's scrolled widget; index names the children.
    TNail(QWidget* canvas, int32_t index);
    // The children go at the next return to the event loop: a click handler of
    // this cell may still be on the stack.
    ~TNail();
    TNail(const TNail&) = delete;
    TNail& operator=(const TNail&) = delete;

    // The picture of the file at path, from the bytes read of it elsewhere,
    // decoded by the path's extension; a failure (or why there are no bytes) is
    // logged and leaves the cell without one.
    void SetFileName(const QString& path, const TThumbnailPicture& picture);
    void SetTime(int32_t seconds);
    void SetCurrent(bool current);
    void SetLeft(int32_t left) { SetPlace({left, FPlace.Top}); }
    void SetTop(int32_t top) { SetPlace({FPlace.Left, top}); }
    void SetPlace(TNailPlace place);

    TNailPlace Place() const { return FPlace; }
    int32_t Width() const { return kNailCellWidth; }
    // The outline's 64 and the time label's height.
    int32_t Height() const;
    int32_t Time() const { return FTime; }
    int32_t Index() const { return FIndex; }
    bool Current() const { return FCurrent; }
    const QString& FileName() const { return FFileName; }
    bool HasPicture() const;

    std::function<void(TNail&)> OnClick;

private:
    void Refresh();
    void Arrange();

    TNailRect* FRect;
    QLabel* FTimeLabel;
    TNailPic* FPicture;
    QLabel* FNumber;
    bool FCurrent = false;
    QString FFileName;
    int32_t FTime = 0;
    const int32_t FIndex;
    TNailPlace FPlace;
};

} // namespace kiv::ui
